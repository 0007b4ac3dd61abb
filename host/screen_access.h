#pragma once

#include <QList>

#include <QVariantMap>

class QMdiArea;
class QMdiSubWindow;
class QTableView;
class QWidget;

// How the driver finds the screen inside the host: by object name, anew every time, because a
// closed screen is deleted.
namespace Host {

inline constexpr const char* screenObjectName = "frmCtrlArqXMLNFe";
inline constexpr const char* gridObjectName = "dbgArquivos";

QWidget* findScreen(QMdiArea* area);          // nullptr when no screen is open
// Every screen in the area, closed ones still waiting for their worker included.
QList<QWidget*> allScreens(QMdiArea* area);
QMdiSubWindow* subWindowOf(QWidget* screen);  // the MDI child holding the screen
QTableView* findGrid(QWidget* screen);        // nullptr when the screen has no grid

// The form's own report of its state (Q_INVOKABLE scriptState()); throws when the form lacks it.
QVariantMap screenState(QWidget* screen);
// What the screen's NF-e details window shows (Q_INVOKABLE detailsState()): null while it is closed
// or when the form has no such window.
QVariant detailsState(QWidget* screen);
// Whether a transfer worker runs (Q_INVOKABLE transferRunning()); throws when the form lacks it.
bool transferRunning(QWidget* screen);

} // namespace Host

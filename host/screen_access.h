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

// The screen's state as its module registered it (Mrv::ScriptedScreen); throws when it registered
// none.
QVariantMap screenState(QWidget* screen);
// What the screen's NF-e details window shows: null while it is closed, or when the screen has none
// or registered nothing.
QVariant detailsState(QWidget* screen);
// Whether a transfer worker of the screen runs; throws when it registered nothing.
bool transferRunning(QWidget* screen);

} // namespace Host

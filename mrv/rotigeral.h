#pragma once

#include "mrv/button_flat.h"
#include "mrv/messages.h"
#include "mrv_export.h"

#include <QWidget>

class QFrame;
class QGroupBox;
class QLabel;
class QMdiSubWindow;

namespace Mrv {

enum class TCloseAction { caNone, caHide, caFree, caMinimize };

// The suite's base screen: a working area at the left, the button column at the right with the
// screen code, Confirm and Cancel, the help panel, and the keyed message table. A screen opens as
// an MDI child of the application's MDI area.
class MRV_API TfrmRotiGeral : public QWidget {
    Q_OBJECT
public:
    explicit TfrmRotiGeral(QWidget* parent = nullptr);
    ~TfrmRotiGeral() override;

    QMdiSubWindow* subWindow() const;

    // Base create handling: nothing of its own yet; screens call it first.
    virtual void FormCreate(QObject* sender);
    // Base close handling: the closed screen is released (caFree). Screens call it last.
    virtual void FormClose(QObject* sender, TCloseAction& action);

    QLabel* lblCodTela = nullptr;
    QGroupBox* grbDadosRel = nullptr;
    QFrame* panMenu = nullptr;
    QFrame* panHelp = nullptr;
    QFrame* panBotoes = nullptr;
    TButtonFlat* sbtConfirma = nullptr;
    TButtonFlat* sbtCancel = nullptr;
    TMessages* msgPadrao = nullptr;

protected:
    // Puts the screen into the application's MDI area (or shows it as a window when there is none).
    void placeInMdiArea();
    // Frees the screen once its close went through; screens that must outlive the close a little
    // (a worker still running) override it.
    virtual void Release();

    void closeEvent(QCloseEvent* event) override;

private:
    QMdiSubWindow* subWindow_ = nullptr;
};

} // namespace Mrv

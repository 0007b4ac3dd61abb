#pragma once

#include <QMainWindow>

class QMdiArea;

namespace Host {

class ModuleHost;

// The host's MDI main window. Its menus carry no Ctrl+letter shortcuts: those belong to the screens.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(ModuleHost& modules, QWidget* parent = nullptr);

    QMdiArea* mdiArea() const { return area_; }
    // What the menu's "VOP31600" does: load the module once and open its screen.
    void openScreen();

protected:
    // Closing the host closes its screens first, each with its own close handling (a screen may
    // ask, and may refuse); the host stays open while one refuses.
    void closeEvent(QCloseEvent* event) override;

private:
    ModuleHost& modules_;
    QMdiArea* area_;
};

} // namespace Host

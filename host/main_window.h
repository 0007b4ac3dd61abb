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

private:
    void openScreen();

    ModuleHost& modules_;
    QMdiArea* area_;
};

} // namespace Host

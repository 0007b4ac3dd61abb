#include "host/main_window.h"

#include <QCloseEvent>
#include <QMdiSubWindow>

#include "host/module_host.h"
#include "mrv/application.h"
#include "mrv/prompts.h"

#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>

namespace Host {

MainWindow::MainWindow(ModuleHost& modules, QWidget* parent)
    : QMainWindow(parent), modules_(modules), area_(new QMdiArea(this))
{
    setWindowTitle(QStringLiteral("VOP"));
    setCentralWidget(area_);
    QMenu* menu = menuBar()->addMenu(QStringLiteral("&Módulos"));
    QAction* open = menu->addAction(QStringLiteral("VOP31600"));
    open->setObjectName(QStringLiteral("actVop31600"));
    connect(open, &QAction::triggered, this, &MainWindow::openScreen);
    resize(1100, 700);
}

void MainWindow::openScreen()
{
    try {
        modules_.open();
    } catch (const Mrv::ModuleLoadError& e) {
        Mrv::prompts().error(Mrv::Application::instance().title(), e.what());
    }
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    area_->closeAllSubWindows();
    for (QMdiSubWindow* sub : area_->subWindowList()) {
        if (!sub->isHidden()) {
            event->ignore();
            return;
        }
    }
    event->accept();
}

} // namespace Host

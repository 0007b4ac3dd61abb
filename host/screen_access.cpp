#include "host/screen_access.h"

#include "mrv/scripted_screen.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTableView>

#include <stdexcept>

namespace Host {

QWidget* findScreen(QMdiArea* area)
{
    // A closed screen may linger hidden until its worker ends: it is no longer the open screen.
    for (QWidget* screen : allScreens(area)) {
        QMdiSubWindow* sub = subWindowOf(screen);
        if (!(sub ? sub->isHidden() : screen->isHidden()))
            return screen;
    }
    return nullptr;
}

QList<QWidget*> allScreens(QMdiArea* area)
{
    return area ? area->findChildren<QWidget*>(screenObjectName) : QList<QWidget*>();
}

QMdiSubWindow* subWindowOf(QWidget* screen)
{
    for (QWidget* w = screen; w; w = w->parentWidget())
        if (auto* sub = qobject_cast<QMdiSubWindow*>(w))
            return sub;
    return nullptr;
}

QTableView* findGrid(QWidget* screen)
{
    return screen ? screen->findChild<QTableView*>(gridObjectName) : nullptr;
}

QVariantMap screenState(QWidget* screen)
{
    const Mrv::ScriptedScreen* scripted = Mrv::scriptedScreen(screen);
    if (!scripted)
        throw std::runtime_error("the screen registered no script access");
    return scripted->scriptState();
}

QVariant detailsState(QWidget* screen)
{
    const Mrv::ScriptedScreen* scripted = Mrv::scriptedScreen(screen);
    return scripted ? scripted->detailsState() : QVariant();
}

bool transferRunning(QWidget* screen)
{
    const Mrv::ScriptedScreen* scripted = Mrv::scriptedScreen(screen);
    if (!scripted)
        throw std::runtime_error("the screen registered no script access");
    return scripted->transferRunning();
}

} // namespace Host

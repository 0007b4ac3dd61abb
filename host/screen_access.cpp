#include "host/screen_access.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMetaObject>
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
    QVariantMap state;
    if (!QMetaObject::invokeMethod(screen, "scriptState", Qt::DirectConnection, Q_RETURN_ARG(QVariantMap, state)))
        throw std::runtime_error("the screen has no scriptState()");
    return state;
}

QVariant detailsState(QWidget* screen)
{
    QVariant details;
    if (!screen || !QMetaObject::invokeMethod(screen, "detailsState", Qt::DirectConnection, Q_RETURN_ARG(QVariant, details)))
        return QVariant();
    return details;
}

bool transferRunning(QWidget* screen)
{
    bool running = false;
    if (!QMetaObject::invokeMethod(screen, "transferRunning", Qt::DirectConnection, Q_RETURN_ARG(bool, running)))
        throw std::runtime_error("the screen has no transferRunning()");
    return running;
}

} // namespace Host

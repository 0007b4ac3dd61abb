#include "platform/widgets/frame_pacer.h"

#include <QCoreApplication>
#include <QEvent>

#include "platform/common/wait_hook.h"

#include <algorithm>

namespace Platform {

FramePacer::FramePacer(QWidget* window, QObject* parent, std::chrono::milliseconds frame)
    : QObject(parent), window_(window), frame_(frame)
{
    frameEnd_.setSingleShot(true);
    frameEnd_.setTimerType(Qt::PreciseTimer);
    connect(&frameEnd_, &QTimer::timeout, this, &FramePacer::onFrameEnd);
    if (window_)
        window_->installEventFilter(this);
}

FramePacer::~FramePacer()
{
    if (window_)
        window_->removeEventFilter(this);
}

void FramePacer::setActive(bool active)
{
    active_ = active;
    if (!active_ && pending_) {
        frameEnd_.stop();
        deliver();
    }
}

bool FramePacer::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != window_ || event->type() != QEvent::UpdateRequest || delivering_)
        return false;
    if (!active_ || (!pending_ && due())) {
        lastPaint_.restart();
        return false;
    }
    // Qt sends no other request until this one is served: the one delivered later paints
    // everything that changed meanwhile.
    ++held_;
    if (!pending_) {
        pending_ = true;
        heldSince_.restart();
        rearm();
    }
    return true;
}

bool FramePacer::due() const
{
    if (lastPaint_.isValid() && lastPaint_.elapsed() < frame_.count())
        return false;
    // Inside a wait of the screen's own client (a reload while the worker waits for it), a paint
    // would only make that wait longer; it comes when the wait is over, or when it has been held
    // long enough that the window would look stuck.
    return guiWaitDepth() == 0 || (heldSince_.isValid() && heldSince_.elapsed() >= kLongestHold.count());
}

void FramePacer::rearm()
{
    const qint64 left = lastPaint_.isValid() ? frame_.count() - lastPaint_.elapsed() : 0;
    frameEnd_.start(static_cast<int>(std::max<qint64>(left, kWaitPoll.count())));
}

void FramePacer::onFrameEnd()
{
    if (!pending_)
        return;
    if (active_ && !due()) {
        rearm();
        return;
    }
    deliver();
}

void FramePacer::deliver()
{
    pending_ = false;
    heldSince_.invalidate();
    if (!window_)
        return;
    lastPaint_.restart();
    delivering_ = true;
    QEvent request(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(window_, &request);
    delivering_ = false;
}

} // namespace Platform

#include "host/event_wait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <climits>

namespace Host {
namespace {

int boundedMs(long long ms) { return static_cast<int>(std::clamp<long long>(ms, 0, INT_MAX)); }

// One round of the dispatcher: the events there are, else a sleep until one comes or wakeMs pass.
// Not a nested QEventLoop: the screen reads the loop level to tell a user's idle moment (it may then
// use its session, as the details window does) from a wait inside one of its own calls.
void serveOnce(int wakeMs)
{
    QTimer wake;
    wake.setSingleShot(true);
    wake.start(std::max(wakeMs, 0));
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

bool serveEventsUntil(const std::function<bool()>& done, long long limitMs, int minIntervalMs)
{
    QElapsedTimer elapsed;
    elapsed.start();
    QElapsedTimer sinceCheck;
    sinceCheck.start();
    for (;;) {
        if (sinceCheck.elapsed() >= minIntervalMs || elapsed.elapsed() >= limitMs) {
            sinceCheck.restart();
            if (done())
                return true;
        }
        if (elapsed.elapsed() >= limitMs)
            return false;
        // A condition that changes without an event of its own is still seen within 25 ms.
        serveOnce(boundedMs(std::min<long long>(25, limitMs - elapsed.elapsed())));
    }
}

void serveEventsFor(long long ms)
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (elapsed.elapsed() < ms)
        serveOnce(boundedMs(ms - elapsed.elapsed()));
}

} // namespace Host

#include "host/event_wait.h"

#include <QAbstractEventDispatcher>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <climits>

namespace Host {
namespace {

int boundedMs(long long ms) { return static_cast<int>(std::clamp<long long>(ms, 0, INT_MAX)); }

} // namespace

bool serveEventsUntil(const std::function<bool()>& done, long long limitMs, int minIntervalMs)
{
    if (done())
        return true;
    QEventLoop loop;
    bool met = false;
    QElapsedTimer sinceCheck;
    sinceCheck.start();
    auto check = [&] {
        if (met || sinceCheck.elapsed() < minIntervalMs)
            return;
        sinceCheck.restart();
        if (done()) {
            met = true;
            loop.quit();
        }
    };
    const auto watch = QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                                        &loop, check);
    // A condition that changes without an event of its own is still seen.
    QTimer backstop;
    QObject::connect(&backstop, &QTimer::timeout, &loop, check);
    backstop.start(25);
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    limit.start(boundedMs(limitMs));
    loop.exec();
    QObject::disconnect(watch);
    return met || done();
}

void serveEventsFor(long long ms)
{
    QEventLoop loop;
    QTimer::singleShot(boundedMs(ms), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace Host

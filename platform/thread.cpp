#include "platform/thread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <condition_variable>
#include <mutex>
#include <sys/resource.h>
#include <unistd.h>
#include <sys/syscall.h>

namespace Platform {
namespace {

std::atomic<bool> syncShutdown{false};
std::mutex syncMutex;
std::condition_variable syncWake;

int niceFor(TThreadPriority priority)
{
    switch (priority) {
    case TThreadPriority::tpIdle: return 19;
    case TThreadPriority::tpLowest: return 10;
    case TThreadPriority::tpLower: return 5;
    case TThreadPriority::tpNormal: return 0;
    default: return 0;  // raising priority needs privileges a desktop user lacks
    }
}

} // namespace

TThread::TThread() = default;

TThread::~TThread()
{
    // The last reference may be dropped on the thread itself: it must not join itself.
    if (thread_.joinable()) {
        if (thread_.get_id() == std::this_thread::get_id())
            thread_.detach();
        else
            thread_.join();
    }
}

void TThread::Start(TThreadPriority priority)
{
    thread_ = std::thread(&TThread::run, this, shared_from_this(), priority);
}

void TThread::run(std::shared_ptr<TThread> self, TThreadPriority priority)
{
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), niceFor(priority));
    try {
        Execute();
    } catch (...) {
        // Execute handles its own failures; nothing may escape a thread.
    }
    finished_ = true;
    {
        std::lock_guard lock(syncMutex);
    }
    syncWake.notify_all();
    self.reset();  // may destroy this object; nothing after this line touches it
}

void TThread::Terminate() { terminated_ = true; }

bool TThread::Terminated() const { return terminated_; }

bool TThread::Finished() const { return finished_; }

void TThread::WaitFor()
{
    std::unique_lock lock(syncMutex);
    syncWake.wait(lock, [this] { return finished_.load(); });
}

void TThread::ShutdownSynchronize()
{
    syncShutdown = true;
    std::lock_guard lock(syncMutex);
    syncWake.notify_all();
}

bool TThread::Synchronize(const std::function<void()>& call)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || syncShutdown)
        return false;
    if (QThread::currentThread() == app->thread()) {
        call();
        return true;
    }
    // 0 pending, 1 running, 2 done, 3 given up: the GUI side runs the call only if it was not given up.
    auto state = std::make_shared<std::atomic<int>>(0);
    QMetaObject::invokeMethod(app, [state, call] {
        int expected = 0;
        if (!state->compare_exchange_strong(expected, 1))
            return;
        call();
        {
            std::lock_guard lock(syncMutex);
            *state = 2;
        }
        syncWake.notify_all();
    }, Qt::QueuedConnection);
    std::unique_lock lock(syncMutex);
    syncWake.wait(lock, [&] { return *state == 2 || syncShutdown; });
    if (*state == 2)
        return true;
    int expected = 0;
    if (state->compare_exchange_strong(expected, 3))
        return false;
    syncWake.wait(lock, [&] { return *state == 2; });  // it is running: let it finish
    return true;
}

void postToGuiThread(std::function<void()> call)
{
    if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, std::move(call), Qt::QueuedConnection);
}

} // namespace Platform

#include "platform/common/thread.h"

#include "platform/common/wait_hook.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <unistd.h>
#include <sys/syscall.h>

namespace Platform {
namespace {

std::atomic<bool> syncShutdown{false};

// One synchronised call: the worker waits on it, the GUI thread runs it unless it was given up.
// Shared by both sides, so neither outlives the state it touches; no process-wide lock is kept,
// which also lets a worker finish while the process exits.
struct SyncCall {
    enum State { Pending, Running, Done, GivenUp };
    std::mutex mutex;
    std::condition_variable wake;
    State state = Pending;
};

// One priority step down is one nice step (about a tenth less CPU share under contention): below
// normal yields to the user's foreground work without starving a transfer of its share.
int niceFor(TThreadPriority priority)
{
    switch (priority) {
    case TThreadPriority::tpIdle: return 19;
    case TThreadPriority::tpLowest: return 2;
    case TThreadPriority::tpLower: return 1;
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
    // Relative to the process's own nice value, so a host started with nice keeps the order.
    const auto tid = static_cast<id_t>(syscall(SYS_gettid));
    errno = 0;
    const int base = getpriority(PRIO_PROCESS, tid);
    if (errno == 0)
        setpriority(PRIO_PROCESS, tid, std::min(19, base + niceFor(priority)));
    try {
        Execute();
    } catch (...) {
        // Execute handles its own failures; nothing may escape a thread.
    }
    {
        std::lock_guard lock(finishMutex_);
        finished_ = true;
        finishWake_.notify_all();
    }
    self.reset();  // may destroy this object; nothing after this line touches it
}

void TThread::Terminate() { terminated_ = true; }

bool TThread::Terminated() const { return terminated_; }

bool TThread::Finished() const { return finished_; }

void TThread::WaitFor()
{
    std::unique_lock lock(finishMutex_);
    finishWake_.wait(lock, [this] { return finished_.load(); });
}

void TThread::ShutdownSynchronize() { syncShutdown = true; }

bool TThread::Synchronize(const std::function<void()>& call)
{
    using namespace std::chrono_literals;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || syncShutdown)
        return false;
    if (QThread::currentThread() == app->thread()) {
        call();
        return true;
    }
    auto sync = std::make_shared<SyncCall>();
    // A call that arrives while a screen client waits would reach that client: it runs after the wait.
    QMetaObject::invokeMethod(app, [sync, call] {
        runOutsideGuiWaits([sync, call] {
            {
                std::lock_guard lock(sync->mutex);
                if (sync->state != SyncCall::Pending)
                    return;
                sync->state = SyncCall::Running;
            }
            call();
            {
                std::lock_guard lock(sync->mutex);
                sync->state = SyncCall::Done;
            }
            sync->wake.notify_all();
        });
    }, Qt::QueuedConnection);
    std::unique_lock lock(sync->mutex);
    while (sync->state != SyncCall::Done) {
        if (syncShutdown && sync->state == SyncCall::Pending) {
            sync->state = SyncCall::GivenUp;
            return false;
        }
        // The shutdown flag is polled: the GUI thread that would wake us may be gone.
        sync->wake.wait_for(lock, 20ms);
    }
    return true;
}

void postToGuiThread(std::function<void()> call)
{
    if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, [call = std::move(call)]() mutable { runOutsideGuiWaits(std::move(call)); },
                                  Qt::QueuedConnection);
}

} // namespace Platform

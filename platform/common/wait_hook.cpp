#include "platform/common/wait_hook.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <deque>
#include <exception>
#include <future>
#include <thread>

namespace Platform {
namespace {

int depth = 0;
std::deque<std::function<void()>> heldBack;
bool flushPosted = false;

void runHeldBack()
{
    flushPosted = false;
    // A call may itself wait through a screen client: what is left stays held until that ends.
    while (depth == 0 && !heldBack.empty()) {
        auto call = std::move(heldBack.front());
        heldBack.pop_front();
        call();
    }
}

// The held calls run from the event loop, never from inside the handler whose wait just ended: that
// handler may go on to its next wait.
void postFlush()
{
    if (flushPosted || heldBack.empty())
        return;
    if (QCoreApplication* app = QCoreApplication::instance()) {
        flushPosted = true;
        QMetaObject::invokeMethod(app, &runHeldBack, Qt::QueuedConnection);
    }
}

} // namespace

WaitCancelled::WaitCancelled()
    : std::runtime_error("A espera pela resposta do servidor foi interrompida porque a tela foi fechada.")
{
}

// The first check serves at once: the caller cannot know how long ago the hook last ran (the
// previous block's pacer may have been near its slice).
WaitPacer::WaitPacer(const WaitHook& hook) : hook_(hook), next_(std::chrono::steady_clock::now()) {}

void WaitPacer::serveIfDue()
{
    if (!hook_)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (now < next_)
        return;
    hook_();
    next_ = std::chrono::steady_clock::now() + kWaitSlice;
}

GuiWaitScope::GuiWaitScope() { ++depth; }

GuiWaitScope::~GuiWaitScope()
{
    if (--depth == 0)
        postFlush();
}

int guiWaitDepth() { return depth; }

void runOutsideGuiWaits(std::function<void()> call)
{
    if (depth == 0 && heldBack.empty()) {
        call();
        return;
    }
    heldBack.push_back(std::move(call));
    if (depth == 0)
        postFlush();
}

void runServed(const WaitHook& hook, const std::function<void()>& work, const std::function<void()>& breakWork)
{
    if (!hook) {
        work();
        return;
    }
    std::packaged_task<void()> task(work);
    std::future<void> done = task.get_future();
    std::thread helper(std::move(task));
    std::exception_ptr hookFailure;
    while (done.wait_for(kWaitSlice) != std::future_status::ready) {
        if (hookFailure) {
            breakWork();
            continue;
        }
        try {
            hook();
        } catch (...) {
            hookFailure = std::current_exception();
            breakWork();
        }
    }
    helper.join();
    if (hookFailure)
        std::rethrow_exception(hookFailure);
    done.get();
}

} // namespace Platform

#pragma once

#include "platform/common/platform_export.h"

#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>

namespace Platform {

// What a client runs while it waits on the network, between polls at most kWaitSlice apart. The
// screen's clients serve paint, timer and window-system events there; the worker's clients have none
// (the worker thread must never run GUI events). It may throw to end the wait: the client closes its
// connection and lets the exception out.
using WaitHook = std::function<void()>;
inline constexpr std::chrono::milliseconds kWaitSlice{15};

// Thrown by a wait hook when the screen that waits is being closed.
class PLATFORM_API WaitCancelled : public std::runtime_error {
public:
    WaitCancelled();
};

// Calls a hook at its first check and then whenever a slice has passed since the last call: for loops
// that wake far more often (a listing arriving at full speed) or not at all between polls.
class PLATFORM_API WaitPacer {
public:
    explicit WaitPacer(const WaitHook& hook);
    bool active() const { return static_cast<bool>(hook_); }
    void serveIfDue();

private:
    const WaitHook& hook_;
    std::chrono::steady_clock::time_point next_;
};

// Marks the GUI thread as serving events inside a screen client's wait. While one lives, calls that
// workers send to the GUI thread are held back (they could reach the waiting client); they run, in
// their order of arrival, once the event loop is back outside every such wait.
class PLATFORM_API GuiWaitScope {
public:
    GuiWaitScope();
    ~GuiWaitScope();
    GuiWaitScope(const GuiWaitScope&) = delete;
    GuiWaitScope& operator=(const GuiWaitScope&) = delete;
};

// How many GuiWaitScopes are open (GUI thread only).
PLATFORM_API int guiWaitDepth();

// On the GUI thread: runs call now, or queues it behind the calls held back by a wait.
PLATFORM_API void runOutsideGuiWaits(std::function<void()> call);

// Runs work on a helper thread while this thread serves hook every slice until work ends; work's
// exception comes out here. When the hook throws, breakWork (which must make work end soon, e.g. by
// shutting its connection down) is called every slice until work has ended, and then the hook's
// exception leaves. Without a hook, work simply runs here.
PLATFORM_API void runServed(const WaitHook& hook, const std::function<void()>& work,
                            const std::function<void()>& breakWork);

} // namespace Platform

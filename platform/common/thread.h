#pragma once

#include "platform/common/platform_export.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace Platform {

enum class TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// A worker thread that owns itself: Start hands the thread a reference to its own object, which
// it drops when Execute returns, so the object lives exactly as long as someone (the running thread
// or an observer holding a shared_ptr) needs it. Observers keep a weak_ptr.
class PLATFORM_API TThread : public std::enable_shared_from_this<TThread> {
public:
    TThread();
    virtual ~TThread();
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    // Starts Execute on a new thread at the given priority (below normal maps to a higher nice value).
    void Start(TThreadPriority priority = TThreadPriority::tpNormal);
    void Terminate();
    bool Terminated() const;
    bool Finished() const;
    // Blocks until Execute has returned (never call it from the thread itself).
    void WaitFor();

    // Stops every pending and future Synchronize from waiting: used when the GUI thread goes away.
    static void ShutdownSynchronize();

protected:
    virtual void Execute() = 0;
    // Runs call on the GUI thread and waits for it; a call that arrives while a screen client waits
    // there runs after that wait. Returns false when the call could not run because the GUI thread
    // is shutting down.
    bool Synchronize(const std::function<void()>& call);

private:
    void run(std::shared_ptr<TThread> self, TThreadPriority priority);

    std::thread thread_;
    std::atomic<bool> terminated_{false};
    std::atomic<bool> finished_{false};
    std::mutex finishMutex_;
    std::condition_variable finishWake_;
};

// Runs call on the GUI thread without waiting (used for coalesced progress updates); held back, in
// order, while a screen client waits there.
PLATFORM_API void postToGuiThread(std::function<void()> call);

} // namespace Platform

#pragma once

#include "platform/common/platform_export.h"

#include <condition_variable>
#include <csignal>
#include <functional>
#include <mutex>
#include <thread>

namespace Platform {

// Breaks the HTTP client's connection from any thread: it holds a duplicate of the connected
// socket's descriptor, so closing or reconnecting the session never leaves a number that could name
// another file meanwhile. Shutting the socket down ends a read or send blocked on it at once.
class PLATFORM_API ConnectionBreaker {
public:
    ConnectionBreaker() = default;
    ~ConnectionBreaker();
    ConnectionBreaker(const ConnectionBreaker&) = delete;
    ConnectionBreaker& operator=(const ConnectionBreaker&) = delete;

    // A new connection: replaces the one held (a fired breaker shuts it down at once).
    void Attach(int fd);
    // The session closed its connection: the duplicate goes too, or the peer would never see the close.
    void Release();
    // From any thread: shuts the held connection and every later one down until Rearm().
    void Fire();
    void Rearm();
    bool Fired() const;

private:
    mutable std::mutex mutex_;
    int fd_ = -1;
    bool fired_ = false;
};

// While it lives, asks stop() every 50 ms on a thread of its own and fires the breaker when it says
// so. Nothing runs when stop is empty.
class StopPoller {
public:
    StopPoller(std::function<bool()> stop, ConnectionBreaker& breaker);
    ~StopPoller();
    StopPoller(const StopPoller&) = delete;
    StopPoller& operator=(const StopPoller&) = delete;

private:
    std::mutex mutex_;
    std::condition_variable wake_;
    bool done_ = false;
    std::thread thread_;
};

// A send on a connection that the server or the breaker closed raises SIGPIPE, which ends the
// process (TLS writes through OpenSSL without MSG_NOSIGNAL): the calling thread keeps it blocked while
// it lives and drops one that arrived meanwhile.
class PLATFORM_API SigPipeBlock {
public:
    SigPipeBlock();
    ~SigPipeBlock();
    SigPipeBlock(const SigPipeBlock&) = delete;
    SigPipeBlock& operator=(const SigPipeBlock&) = delete;

private:
    sigset_t previous_;
    bool pendingBefore_ = false;
};

} // namespace Platform

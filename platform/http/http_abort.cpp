#include "platform/http/http_abort.h"

#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <ctime>

namespace Platform {
namespace {

sigset_t sigPipeOnly()
{
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    return pipe;
}

// Whether a SIGPIPE waits for this thread or the process.
bool sigPipePending()
{
    sigset_t pending;
    sigemptyset(&pending);
    sigpending(&pending);
    return sigismember(&pending, SIGPIPE) == 1;
}

} // namespace

ConnectionBreaker::~ConnectionBreaker() { Release(); }

void ConnectionBreaker::Attach(int fd)
{
    std::lock_guard lock(mutex_);
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = fd >= 0 ? ::dup(fd) : -1;
    if (fired_ && fd_ >= 0)
        ::shutdown(fd_, SHUT_RDWR);
}

void ConnectionBreaker::Release()
{
    std::lock_guard lock(mutex_);
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

void ConnectionBreaker::Fire()
{
    std::lock_guard lock(mutex_);
    fired_ = true;
    if (fd_ >= 0)
        ::shutdown(fd_, SHUT_RDWR);
}

void ConnectionBreaker::Rearm()
{
    std::lock_guard lock(mutex_);
    fired_ = false;
}

bool ConnectionBreaker::Fired() const
{
    std::lock_guard lock(mutex_);
    return fired_;
}

StopPoller::StopPoller(std::function<bool()> stop, ConnectionBreaker& breaker)
{
    if (!stop)
        return;
    thread_ = std::thread([this, stop = std::move(stop), &breaker] {
        std::unique_lock lock(mutex_);
        while (!wake_.wait_for(lock, std::chrono::milliseconds(50), [this] { return done_; })) {
            if (stop()) {
                breaker.Fire();
                return;
            }
        }
    });
}

StopPoller::~StopPoller()
{
    if (!thread_.joinable())
        return;
    {
        std::lock_guard lock(mutex_);
        done_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

SigPipeBlock::SigPipeBlock()
{
    const sigset_t pipe = sigPipeOnly();
    pendingBefore_ = sigPipePending();
    pthread_sigmask(SIG_BLOCK, &pipe, &previous_);
}

SigPipeBlock::~SigPipeBlock()
{
    const sigset_t pipe = sigPipeOnly();
    if (!pendingBefore_ && sigPipePending()) {
        const timespec none{0, 0};
        sigtimedwait(&pipe, nullptr, &none);
    }
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

} // namespace Platform

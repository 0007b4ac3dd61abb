#include "appserver/head_watchdog.h"

#include <algorithm>

#include <sys/socket.h>
#include <unistd.h>

namespace AppServer {

HeadWatchdog::HeadWatchdog(std::chrono::milliseconds limit) : limit_(limit), thread_([this] { run(); }) {}

HeadWatchdog::~HeadWatchdog()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
    for (const Entry& entry : entries_)
        ::close(entry.fd);
}

HeadWatchdog::Entry* HeadWatchdog::watch(int fd)
{
    std::lock_guard lock(mutex_);
    Entry& entry = entries_.emplace_back();
    entry.fd = ::dup(fd);
    entry.armed = entry.fd >= 0;
    entry.deadline = Clock::now() + limit_;
    changed_.notify_all();
    return &entry;
}

void HeadWatchdog::forget(Entry* entry)
{
    std::lock_guard lock(mutex_);
    const auto it = std::find_if(entries_.begin(), entries_.end(), [entry](const Entry& e) { return &e == entry; });
    if (it == entries_.end())
        return;
    if (it->fd >= 0)
        ::close(it->fd);
    entries_.erase(it);
}

void HeadWatchdog::arm(Entry* entry)
{
    std::lock_guard lock(mutex_);
    entry->armed = entry->fd >= 0;
    entry->deadline = Clock::now() + limit_;
    changed_.notify_all();
}

void HeadWatchdog::disarm(Entry* entry)
{
    std::lock_guard lock(mutex_);
    entry->armed = false;
}

void HeadWatchdog::shutdownAll()
{
    std::lock_guard lock(mutex_);
    for (Entry& entry : entries_) {
        if (entry.fd >= 0)
            ::shutdown(entry.fd, SHUT_RDWR);
        entry.armed = false;
    }
}

void HeadWatchdog::run()
{
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        const auto now = Clock::now();
        auto next = now + limit_;
        for (Entry& entry : entries_) {
            if (!entry.armed)
                continue;
            if (entry.deadline <= now) {
                // Both directions: the worker's read ends, and so does a TLS handshake in progress.
                ::shutdown(entry.fd, SHUT_RDWR);
                entry.armed = false;
            } else
                next = std::min(next, entry.deadline);
        }
        changed_.wait_until(lock, next);
    }
}

} // namespace AppServer

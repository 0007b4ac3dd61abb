#pragma once

#include <chrono>
#include <condition_variable>
#include <list>
#include <mutex>
#include <thread>

namespace AppServer {

// Closes connections whose request head has not arrived in time. Poco's per-read receive time-out
// restarts with every byte, so a client that trickles its head would hold a worker for ever; the
// watchdog holds one deadline per connection for the whole head instead and, when it passes, shuts
// the socket down so that the worker's blocked read returns at once.
class HeadWatchdog {
public:
    struct Entry;
    using Clock = std::chrono::steady_clock;

    explicit HeadWatchdog(std::chrono::milliseconds limit);
    ~HeadWatchdog(); // joins the watching thread
    HeadWatchdog(const HeadWatchdog&) = delete;
    HeadWatchdog& operator=(const HeadWatchdog&) = delete;

    // Starts watching a connection, its deadline armed from now. The socket is kept open through a
    // duplicate descriptor until forget(), so a shutdown never reaches a number reused meanwhile.
    Entry* watch(int fd);
    void forget(Entry* entry);
    void arm(Entry* entry);    // a new head is awaited: deadline from now
    void disarm(Entry* entry); // the head is in, the handler owns the time from here
    void shutdownAll();        // the server stops: every watched connection ends now

    std::chrono::milliseconds limit() const { return limit_; }

private:
    void run();

    const std::chrono::milliseconds limit_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::list<Entry> entries_;
    bool stopping_ = false;
    std::thread thread_;
};

struct HeadWatchdog::Entry {
    int fd = -1;
    bool armed = false;
    Clock::time_point deadline;
};

} // namespace AppServer

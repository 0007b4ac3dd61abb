#pragma once

#include "platform/ftp/ftp_data.h"
#include "platform/common/wait_hook.h"

#include <chrono>
#include <cstddef>
#include <string>

// The time-keeping of data connection calls, shared by the plain and the TLS moves.
namespace Platform {

// With a wait hook, a blocked call returns this often, so that the hook is served close to its
// slice however the bytes trickle in.
inline constexpr std::chrono::milliseconds kHookedSlice{5};

[[noreturn]] void dataTimeout();
[[noreturn]] void dataBroken(const std::string& why);

// The clock of one read or write call: its time-out counts from the last byte moved, and its tick
// comes at least every kTick whether bytes flow or not (a trickle never lets a wait run out).
class DataPace {
public:
    DataPace(const FtpDataChannel::Tick& tick, const WaitHook& hook, std::chrono::milliseconds timeout);
    void moved(std::size_t count);
    // After a wait of one slice with nothing moved.
    void idle(std::size_t count);

private:
    void due(std::chrono::steady_clock::time_point now, std::size_t count);

    const FtpDataChannel::Tick& tick_;
    WaitPacer pacer_;
    std::chrono::milliseconds timeout_;
    std::chrono::steady_clock::time_point last_;
    std::chrono::steady_clock::time_point next_;
};

} // namespace Platform

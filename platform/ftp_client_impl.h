#pragma once

#include "platform/ftp_control.h"
#include "platform/ftp_data.h"
#include "platform/id_ftp.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace Platform {

// The state behind TIdFTP. Commands go through command()/expect(); transfers through transfer().
struct TIdFTP::Impl {
    explicit Impl(TIdFTP& owner) : self(owner) {}

    // Where received bytes go / where sent bytes come from (returns 0 at the end).
    using Sink = std::function<void(const char*, std::size_t)>;
    using Source = std::function<std::size_t(char*, std::size_t)>;
    // Reads a download's next block from the data connection (default: into the buffer).
    using Receive = std::function<std::size_t(char*, std::size_t)>;
    // Bytes per block of a transfer, and per work event.
    static constexpr std::size_t kBlock = 256 * 1024;

    TIdFTP& self;
    FtpControlConnection control;
    FtpDataChannel data;
    std::string lastReply;
    bool announced = false;       // hsConnected was reported and hsDisconnected not yet
    bool eprtRefused = false;     // fall back to PORT for the rest of the session
    bool epsvRefused = false;     // fall back to PASV for the rest of the session
    std::atomic<bool> transferRunning{false};
    std::atomic<bool> abortRequested{false};
    std::vector<char> buffer;

    void status(TIdStatus status, const std::string& text);
    // Reports hsDisconnected once when a failure has closed the control connection.
    void noticeClosed() noexcept;
    void requireConnected();

    FtpReply readReply();
    FtpReply readReply(std::chrono::milliseconds timeout);
    FtpReply command(const std::string& verb, const std::string& argument, bool secret = false);
    FtpReply expect(const std::string& verb, const std::string& argument, std::initializer_list<int> ok,
                    bool secret = false);
    [[noreturn]] void refused(const std::string& verb, const FtpReply& reply);

    void login();
    void sayGoodbye() noexcept;
    void closeControl(const std::string& why) noexcept;

    // Sends the already encoded command line over a fresh data connection and moves the data.
    // Work events are raised when mode is set. A download's blocks come from receive when given;
    // the sink sees every block, the last one (possibly empty) included.
    void transfer(const std::string& verb, const std::string& wireLine, const Sink* sink, const Source* source,
                  std::int64_t expected, bool workEvents, const Receive* receive = nullptr);

private:
    void openDataConnection();
    void runDownload(const Sink& sink, bool workEvents, const Receive* receive);
    void runUpload(const Source& source, bool workEvents);
    void finishTransfer(const std::string& verb, TWorkMode mode, std::int64_t total, bool workEvents);
    void awaitFinalReply(TWorkMode mode, std::int64_t total, std::chrono::steady_clock::time_point deadline);
    void abortAfterLocalFailure() noexcept;
    // ABOR, close of the data connection, both replies; the session stays in step.
    void abortSequence() noexcept(false);
};

} // namespace Platform

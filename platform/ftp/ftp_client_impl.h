#pragma once

#include "platform/ftp/ftp_control.h"
#include "platform/ftp/ftp_data.h"
#include "platform/ftp/id_ftp.h"
#include "platform/ftp/tls_context.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Platform {

// The state behind TIdFTP. Commands go through command()/expect(); transfers through transfer().
struct TIdFTP::Impl {
    explicit Impl(TIdFTP& owner) : self(owner) {}

    // Where received bytes go / where sent bytes come from (returns 0 at the end).
    using Sink = std::function<void(const char*, std::size_t)>;
    using Source = std::function<std::size_t(char*, std::size_t)>;
    // Moves what has arrived of a download, up to the count asked, past the buffer; 0 at the end.
    using Receive = std::function<std::size_t(char*, std::size_t)>;
    // Bytes per block of a transfer, and per work event.
    static constexpr std::size_t kBlock = 256 * 1024;

    // One transfer: the command, where its bytes go or come from, and its bounds.
    struct Job {
        std::string verb;
        std::string wireLine;  // already encoded
        const Sink* sink = nullptr;
        const Source* source = nullptr;
        // An upload of a whole file also names its descriptor: the bytes go from the page cache
        // to the socket, and source takes over only if the kernel cannot send from it.
        int sourceFd = -1;
        // Bytes a download reads per step (at most kBlock when they go through the buffer).
        std::size_t block = kBlock;
        // A download's blocks come from receive when given (default: the buffer).
        const Receive* receive = nullptr;
        // A download must deliver exactly this many bytes; an upload reports it. -1: unknown.
        std::int64_t expected = -1;
        // Resumed at this byte: a download sends REST first; the counts start here.
        std::int64_t startAt = 0;
        bool workEvents = false;
        // The whole transfer, final reply included, and the message when it runs past.
        std::optional<std::chrono::steady_clock::time_point> deadline;
        std::string overdue;

        // A transfer with work events; the caller adds where its bytes go or come from.
        static Job withWork(const std::string& verb, const std::string& wireLine, std::int64_t expected);
    };

    TIdFTP& self;
    FtpControlConnection control;
    FtpDataChannel data;
    std::string lastReply;
    bool announced = false;       // hsConnected was reported and hsDisconnected not yet
    bool eprtRefused = false;     // fall back to PORT for the rest of the session
    bool epsvRefused = false;     // fall back to PASV for the rest of the session
    std::unique_ptr<TlsClientContext> tls;  // made at the first AUTH TLS, kept for the client's life
    bool protectedData = false;   // PROT P: every data connection of this session is encrypted
    std::atomic<bool> transferRunning{false};
    std::atomic<bool> abortRequested{false};
    bool abortSent = false;        // this transfer's ABOR went out: its replies are taken care of
    std::int64_t carried = 0;      // bytes of the running transfer handed over so far
    std::vector<char> buffer;

    // OnWaiting as the connections serve it: a throwing hook closes the session first.
    WaitHook served;

    // Hands the current OnWaiting to both connections (set anew before every call).
    void armWaitHook();
    void status(TIdStatus status, const std::string& text);
    void log(TIdLogKind kind, const std::string& text);
    // Reports hsDisconnected once when a failure has closed the control connection.
    void noticeClosed() noexcept;
    void requireConnected();

    FtpReply readReply();
    FtpReply readReply(std::chrono::milliseconds timeout);
    FtpReply command(const std::string& verb, const std::string& argument, bool secret = false);
    FtpReply expect(const std::string& verb, const std::string& argument, std::initializer_list<int> ok,
                    bool secret = false);
    [[noreturn]] void refused(const std::string& verb, const FtpReply& reply);

    // AUTH TLS, the handshake and the certificate's judgement; false when the server refused TLS
    // and plain FTP may go on.
    bool negotiateTls();
    void judgeCertificate();
    // PBSZ 0 and PROT P, after the login.
    void protectData();
    void login();
    void sayGoodbye() noexcept;
    void closeControl(const std::string& why) noexcept;

    // Sends the job's command line over a fresh data connection and moves the data, with work
    // events when asked. The sink sees every block, the last one (possibly empty) included.
    void transfer(const Job& job);

private:
    void openDataConnection();
    // Sends the command over a new data connection and takes the server's data connection in
    // active mode; false when the server could not connect to us (425) and passive mode is to be tried.
    bool startTransfer(const Job& job);
    // Active mode is refused by this server: passive from now on, for this session and the next.
    void fallBackToPassive(const FtpReply& reply);
    // What runs while the data connection waits: stop requests, the heartbeat, the deadline.
    void tick(const Job& job, TWorkMode mode, bool begun, std::size_t moved);
    void runDownload(const Job& job);
    void runUpload(const Job& job);
    // A data call that failed: the server's reply says why, unless an abort already settled it.
    [[noreturn]] void dataFailed();
    void finishTransfer(const Job& job, TWorkMode mode, std::int64_t total);
    void awaitFinalReply(TWorkMode mode, std::int64_t total, std::chrono::steady_clock::time_point deadline);
    void abortAfterLocalFailure() noexcept;
    // ABOR, close of the data connection, both replies; the session stays in step.
    void abortSequence() noexcept(false);
};

} // namespace Platform

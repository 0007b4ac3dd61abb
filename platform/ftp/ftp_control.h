#pragma once

#include "platform/common/wait_hook.h"

#include <Poco/Net/SocketAddress.h>
#include <Poco/Net/StreamSocket.h>

#include <chrono>
#include <string>

namespace Platform {

// One FTP reply: its code and every line, decoded to UTF-8 and joined by "\n".
struct FtpReply {
    int code = 0;
    std::string text;
};

// The control connection: connect, write command lines, read (multi-line) replies, each under
// a time-out. Any failure that leaves the connection unusable (end of stream, reset, time-out,
// a reply that is not FTP, a 421) closes it and throws the matching FtpError.
class FtpControlConnection {
public:
    void open(const std::string& host, int port, std::chrono::milliseconds connectTimeout,
              std::chrono::milliseconds sendTimeout);
    bool isOpen() const { return open_; }
    // Without waiting: false when the server has closed, reset or sent 421 since the last reply.
    bool peekAlive() const;
    void close() noexcept;

    void send(const std::string& wireLine);
    // IAC IP, IAC (urgent) DM, then ABOR.
    void sendAbort();
    FtpReply readReply(std::chrono::milliseconds timeout);

    // For waiting on the data connection and the control connection at once.
    int descriptor() const;
    bool hasBufferedInput() const { return bufferPos_ < buffer_.size(); }

    Poco::Net::SocketAddress localAddress() const;
    // The server's address as connected (still known once the connection broke).
    Poco::Net::SocketAddress peerAddress() const;

    // Text hidden from every message built here (the password).
    std::string secret;
    // Served while connecting and while waiting for a reply (see WaitHook); empty for a worker.
    WaitHook hook;

private:
    bool readLine(std::string& line, std::chrono::steady_clock::time_point deadline);
    // Waits until the socket has something to read, serving the hook between slices; false at the deadline.
    bool waitReadable(std::chrono::steady_clock::time_point deadline);
    void connectServed(const Poco::Net::SocketAddress& address, std::chrono::milliseconds timeout);
    [[noreturn]] void fail(int kind, const std::string& message, int code = 0);

    Poco::Net::StreamSocket socket_;
    Poco::Net::SocketAddress peer_;
    bool open_ = false;
    std::string buffer_;
    std::size_t bufferPos_ = 0;
    std::string where_;
};

} // namespace Platform

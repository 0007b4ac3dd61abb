#pragma once

#include "platform/common/wait_hook.h"

#include <Poco/Net/SocketAddress.h>
#include <Poco/Net/StreamSocket.h>

#include <chrono>
#include <memory>
#include <string>

namespace Platform {

class TlsClientContext;
class TlsStream;

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
    FtpControlConnection();
    ~FtpControlConnection();
    void open(const std::string& host, int port, std::chrono::milliseconds connectTimeout,
              std::chrono::milliseconds sendTimeout);
    bool isOpen() const { return open_; }
    // Without waiting: false when the server has closed, reset or sent 421 since the last reply.
    bool peekAlive();
    // Sends close_notify first under TLS.
    void close() noexcept;

    // After the server's 234 to AUTH TLS: the TLS handshake, as the client, within timeout. Every
    // later command and reply is encrypted. Throws FtpError (FtpTimeout) and closes on failure.
    void startTls(TlsClientContext& context, const std::string& host, std::chrono::milliseconds timeout);
    // The connection's TLS, or null while plain.
    const TlsStream* tls() const { return tls_.get(); }

    void send(const std::string& wireLine);
    // IAC IP, IAC (urgent) DM, then ABOR. Under TLS only ABOR: a byte outside the encrypted stream
    // would end it (vsftpd closes the session), so the caller resets the data connection instead.
    void sendAbort();
    FtpReply readReply(std::chrono::milliseconds timeout);

    // For waiting on the data connection and the control connection at once.
    int descriptor() const;
    bool hasBufferedInput() const;

    Poco::Net::SocketAddress localAddress() const;
    // The server's address as connected (still known once the connection broke).
    Poco::Net::SocketAddress peerAddress() const;

    // Text hidden from every message built here (the password).
    std::string secret;
    // Served while connecting and while waiting for a reply (see WaitHook); empty for a worker.
    WaitHook hook;

private:
    enum FailKind { kError = 0, kLost = 1, kTimeout = 2 };

    bool readLine(std::string& line, std::chrono::steady_clock::time_point deadline);
    // Waits until the socket has something to read, serving the hook between slices; false at the deadline.
    bool waitReadable(std::chrono::steady_clock::time_point deadline);
    void connectServed(const Poco::Net::SocketAddress& address, std::chrono::milliseconds timeout);
    [[noreturn]] void fail(int kind, const std::string& message, int code = 0);
    // Under TLS: what has arrived, decrypted, into chunk (0 when the stream ended).
    std::size_t receiveTls(char* chunk, std::size_t size, std::chrono::steady_clock::time_point deadline);
    void sendTls(const std::string& bytes);
    bool peekAliveTls();
    // Waits for the descriptor to be readable (or writable), serving the hook; false at the deadline.
    bool waitFor(short events, std::chrono::steady_clock::time_point deadline);

    Poco::Net::StreamSocket socket_;
    Poco::Net::SocketAddress peer_;
    bool open_ = false;
    std::string buffer_;
    std::size_t bufferPos_ = 0;
    std::string where_;
    std::chrono::milliseconds sendTimeout_{60000};
    std::unique_ptr<TlsStream> tls_;
};

} // namespace Platform

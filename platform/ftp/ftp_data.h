#pragma once

#include "platform/ftp/tls_stream.h"
#include "platform/common/wait_hook.h"

#include <Poco/Net/IPAddress.h>
#include <Poco/Net/ServerSocket.h>
#include <Poco/Net/SocketAddress.h>
#include <Poco/Net/StreamSocket.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace Platform {

class TlsClientContext;

// The data connection of one transfer, active (we listen, the server connects) or passive
// (we connect). Reads and writes fail when no byte moved for the given time-out. While they (or
// the accept) wait, the tick runs at least every kTick, so that a stop request is heard at any
// rate; it may throw to end the wait. kill() may come from another thread: it shuts the sockets
// down so that a blocked read returns at once.
class FtpDataChannel {
public:
    // Called with the bytes moved so far by the running call (0 while accepting).
    using Tick = std::function<void(std::size_t moved)>;
    static constexpr std::chrono::milliseconds kTick{100};

    // Active mode: listen on an ephemeral port of host; returns the address to announce.
    Poco::Net::SocketAddress listen(const Poco::Net::IPAddress& host);
    // Active mode, after the server's 1xx reply: take the server's connection, which must come
    // from peer (the control connection's peer); any other is closed at once and the wait goes
    // on. Returns false when watchFd (the control connection) has something to read (watchReady:
    // already has) and no connection is waiting: a server that cannot connect says so there (425),
    // and one that died closes it; neither is worth waiting a time-out for.
    bool accept(const Poco::Net::IPAddress& peer, std::chrono::milliseconds timeout, int watchFd = -1,
                bool watchReady = false);
    // Passive mode.
    void connect(const Poco::Net::SocketAddress& address, std::chrono::milliseconds timeout);

    void setTimeout(std::chrono::milliseconds timeout);
    // Once connected (and after setTimeout): the TLS handshake as the client, resuming the control
    // connection's session, paced and timed as a read is. Afterwards receiveBlock, sendAll and
    // finishSending go through TLS; receiveIntoFile, sendFromFile and keepLittleUnsent must not be used.
    void secure(TlsClientContext& context, const std::string& host);
    bool secured() const { return tls_ != nullptr; }
    bool resumedTls() const { return tls_ && tls_->resumed(); }
    void setTick(Tick tick) { tick_ = std::move(tick); }
    // Served while the accept, a read or a write waits, and between the blocks of a fast transfer,
    // at most kWaitSlice apart; a wait hook shortens the slices the socket waits in.
    void setWaitHook(WaitHook hook) { hook_ = std::move(hook); }
    // Reads until size bytes arrived or the data ends; returns the count (< size only at the end).
    std::size_t receiveBlock(char* buffer, std::size_t size);
    // Up to size bytes, as many as one move brings, go on to fileFd through a pipe without passing
    // through our memory; returns the count, 0 only at the end of the data. Not filling a block
    // saves a second, smaller move per block. A failing write to the file stops the move: its errno
    // is left in writeError.
    std::size_t receiveIntoFile(int fileFd, int pipeRead, int pipeWrite, std::size_t size, int& writeError);
    void sendAll(const char* data, std::size_t size);
    // Sends up to size bytes from fileFd's current offset with sendfile (the page cache goes to the
    // socket without a copy through our memory); returns the count, < size at the end of the file.
    // When the kernel cannot send from this file, or reading it failed, it sets fallBack and returns
    // what it sent: the caller goes on with reads from that offset, which report a read error as such.
    std::size_t sendFromFile(int fileFd, std::size_t size, bool& fallBack);
    // Lets at most one sendFromFile step wait unsent in the socket (TCP_NOTSENT_LOWAT); once per
    // data connection, before the first step.
    void keepLittleUnsent();
    // Ends an upload cleanly: the server sees the end of the file. Under TLS the server's own end is
    // then awaited, or the first sign on watchFd (the control connection) of its final reply.
    void finishSending(int watchFd = -1);

    void kill() noexcept;
    bool killed() const { return killed_; }
    void close() noexcept;
    // Closes with a reset: bytes still queued are dropped, so a server reading slowly sees the end now.
    void abandon() noexcept;

private:
    // Moves up to size bytes with step (a recv, splice, send or sendfile on the socket), pacing the
    // ticks and the time-out; a stop or a failure other than a full or empty socket goes to stopped,
    // which throws or lets the move end with what was moved. With onceMoved it returns after the
    // first step that moved anything.
    template <typename Step, typename Stopped>
    std::size_t moveWith(std::size_t size, Step step, Stopped stopped, bool onceMoved = false);
    std::size_t receiveWith(std::size_t size, const std::function<ssize_t(int fd, std::size_t filled)>& read,
                            bool onceMoved = false);
    int openDescriptor();
    // A TLS call's outcome as a socket call's: bytes moved, 0 at the end, or -1 with errno (EAGAIN
    // to wait, EPROTO for a TLS failure, whose text tlsFailure_ keeps).
    ssize_t tlsResult(TlsStream::Io io, std::size_t count);
    std::string reasonOf(int error) const;
    void finishSendingTls(int watchFd);

    std::mutex mutex_;
    std::optional<Poco::Net::ServerSocket> listener_;
    std::optional<Poco::Net::StreamSocket> socket_;
    std::unique_ptr<TlsStream> tls_;
    std::string tlsFailure_;
    std::atomic<bool> killed_{false};
    std::chrono::milliseconds timeout_{60000};
    Tick tick_;
    WaitHook hook_;
};

} // namespace Platform

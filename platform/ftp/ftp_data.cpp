#include "platform/ftp/ftp_data.h"

#include "platform/ftp/data_pace.h"
#include "platform/ftp/ftp_errors.h"
#include "platform/ftp/tls_stream.h"
#include "platform/common/net_error_text.h"

#include <Poco/Exception.h>
#include <Poco/Net/NetException.h>

#include <fcntl.h>
#include <poll.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/sendfile.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace Platform {


Poco::Net::SocketAddress FtpDataChannel::listen(const Poco::Net::IPAddress& host)
{
    close();
    killed_ = false;
    try {
        // No address or port reuse: with SO_REUSEPORT two clients' listeners could share one
        // ephemeral port, and the server's data connection would reach the wrong one.
        Poco::Net::ServerSocket listener;
        listener.bind(Poco::Net::SocketAddress(host, 0), false, false);
        listener.listen(1);
        std::lock_guard lock(mutex_);
        listener_ = std::move(listener);
        return listener_->address();
    } catch (const Poco::Exception& e) {
        throw FtpError("Não foi possível abrir a porta de dados local: " + describeNetworkError(e) + ".");
    }
}

bool FtpDataChannel::accept(const Poco::Net::IPAddress& peer, std::chrono::milliseconds timeout, int watchFd,
                            bool watchReady)
{
    try {
        if (!listener_ || killed_)
            dataBroken("cancelada");
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        WaitPacer pacer(hook_);
        const auto tickSlice = hook_ ? kHookedSlice : kTick;
        for (;;) {
            // A waiting data connection wins: a quick server may already have sent its final reply.
            pollfd fds[2] = {{listener_->impl()->sockfd(), POLLIN, 0}, {watchFd, POLLIN, 0}};
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 && !watchReady)
                throw FtpTimeout("Tempo esgotado aguardando a conexão de dados do servidor FTP.");
            const nfds_t count = watchFd >= 0 && !watchReady ? 2 : 1;
            const auto slice = std::min(left, tickSlice);
            const int ready = ::poll(fds, count, watchReady ? 0 : static_cast<int>(slice.count()));
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready < 0)
                dataBroken(describeSystemError(errno));
            if (fds[0].revents != 0) {
                if (killed_)
                    dataBroken("cancelada");
                Poco::Net::SocketAddress from;
                Poco::Net::StreamSocket accepted = listener_->acceptConnection(from);
                if (from.host() != peer) {
                    // Anyone may connect to the announced port first; only the server's data counts.
                    accepted.close();
                    continue;
                }
                std::lock_guard lock(mutex_);
                socket_ = std::move(accepted);
                listener_->close();
                listener_.reset();
                return true;
            }
            if (watchReady || (count == 2 && fds[1].revents != 0))
                return false;
            if (ready == 0 && tick_)
                tick_(0);
            pacer.serveIfDue();
        }
    } catch (const FtpError&) {
        throw;
    } catch (const Poco::Exception& e) {
        dataBroken(describeNetworkError(e));
    }
}

void FtpDataChannel::connect(const Poco::Net::SocketAddress& address, std::chrono::milliseconds timeout)
{
    close();
    killed_ = false;
    try {
        Poco::Net::StreamSocket s(address.family());
        s.connect(address, Poco::Timespan(timeout.count() * 1000));
        std::lock_guard lock(mutex_);
        socket_ = std::move(s);
    } catch (const Poco::TimeoutException&) {
        throw FtpTimeout("Tempo esgotado ao abrir a conexão de dados com " + address.toString() + ".");
    } catch (const Poco::Exception& e) {
        throw FtpError("Não foi possível abrir a conexão de dados com " + address.toString() + ": "
                       + describeNetworkError(e) + ".");
    }
}

void FtpDataChannel::setTimeout(std::chrono::milliseconds timeout)
{
    timeout_ = timeout;
    if (socket_) {
        // The socket waits one slice at a time: a blocked call returns to hear the tick, and the
        // fast path costs no extra call.
        const auto slice = Poco::Timespan(std::min({timeout, kTick, hook_ ? kHookedSlice : kTick}).count() * 1000);
        socket_->setReceiveTimeout(slice);
        socket_->setSendTimeout(slice);
    }
}

int FtpDataChannel::openDescriptor()
{
    if (!socket_)
        dataBroken("não aberta");
    return socket_->impl()->sockfd();
}

template <typename Step, typename Stopped>
std::size_t FtpDataChannel::moveWith(std::size_t size, Step step, Stopped stopped, bool onceMoved)
{
    const int fd = openDescriptor();
    DataPace pace(tick_, hook_, timeout_);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = step(fd, done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            pace.moved(done);
            if (onceMoved)
                break;
            continue;
        }
        if (n == 0)
            break;
        const int error = errno;
        if (error == EINTR)
            continue;
        if (killed_ || (error != EAGAIN && error != EWOULDBLOCK)) {
            stopped(error);
            break;
        }
        pace.idle(done);
    }
    return done;
}

std::size_t FtpDataChannel::receiveWith(std::size_t size,
                                        const std::function<ssize_t(int fd, std::size_t filled)>& read,
                                        bool onceMoved)
{
    // A killed connection ends the read with what came; the caller hears the abort.
    return moveWith(
        size, read,
        [this](int error) {
            if (!killed_)
                dataBroken(reasonOf(error));
        },
        onceMoved);
}

std::size_t FtpDataChannel::receiveBlock(char* buffer, std::size_t size)
{
    if (tls_)
        return receiveWith(size, [&](int, std::size_t filled) {
            std::size_t count = 0;
            const TlsStream::Io io = tls_->read(buffer + filled, size - filled, count);
            return tlsResult(io, count);
        });
    return receiveWith(size, [&](int fd, std::size_t filled) { return ::recv(fd, buffer + filled, size - filled, 0); });
}

std::size_t FtpDataChannel::receiveIntoFile(int fileFd, int pipeRead, int pipeWrite, std::size_t size,
                                            int& writeError)
{
    // The pipe is emptied after every move: pieces of socket buffers may fill its slots long before
    // its byte capacity, and a full pipe would block the next move for ever.
    return receiveWith(size, [&](int fd, std::size_t filled) -> ssize_t {
        if (writeError != 0)
            return 0;
        const ssize_t moved = ::splice(fd, nullptr, pipeWrite, nullptr, size - filled, SPLICE_F_MOVE);
        for (ssize_t left = moved; left > 0;) {
            const ssize_t w = ::splice(pipeRead, nullptr, fileFd, nullptr, static_cast<std::size_t>(left),
                                       SPLICE_F_MOVE);
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0) {
                writeError = w < 0 ? errno : EIO;
                return moved - left;
            }
            left -= w;
        }
        return moved;
    }, true);
}

void FtpDataChannel::sendAll(const char* data, std::size_t size)
{
    auto stopped = [this](int error) { dataBroken(killed_ ? std::string("cancelada") : reasonOf(error)); };
    if (tls_) {
        moveWith(size, [&](int, std::size_t sent) {
            std::size_t count = 0;
            const TlsStream::Io io = tls_->write(data + sent, size - sent, count);
            return tlsResult(io, count);
        }, stopped);
        return;
    }
    moveWith(size, [&](int fd, std::size_t sent) { return ::send(fd, data + sent, size - sent, MSG_NOSIGNAL); },
             stopped);
}

namespace {

constexpr std::size_t kSendFileStep = 64 * 1024;

// What sendfile reports of the connection; any other failure is the file's or the kernel's.
bool connectionFault(int error)
{
    switch (error) {
    case EPIPE: case ECONNRESET: case ENOTCONN: case ECONNABORTED: case ETIMEDOUT: case EHOSTUNREACH:
    case ENETUNREACH: case ENETDOWN: case ESHUTDOWN:
        return true;
    default:
        return false;
    }
}

} // namespace

void FtpDataChannel::keepLittleUnsent()
{
    // A window that opens is then filled by this thread when it sends again, not by the server's
    // own process, which on a single-process server (and on loopback) would otherwise do our
    // transmit work on the core it needs for its reads and writes (measured against vsftpd: 1 GiB
    // in 1.3 s instead of 1.7 s with one unbounded call).
    const int lowWater = static_cast<int>(kSendFileStep);
    ::setsockopt(openDescriptor(), IPPROTO_TCP, TCP_NOTSENT_LOWAT, &lowWater, sizeof lowWater);
}

std::size_t FtpDataChannel::sendFromFile(int fileFd, std::size_t size, bool& fallBack)
{
    return moveWith(
        size, [&](int socketFd, std::size_t sent) { return ::sendfile(socketFd, fileFd, nullptr, std::min(kSendFileStep, size - sent)); },
        [&](int error) {
            if (killed_)
                dataBroken("cancelada");
            if (connectionFault(error))
                dataBroken(describeSystemError(error));
            fallBack = true;
        });
}

void FtpDataChannel::finishSending(int watchFd)
{
    if (tls_ && socket_) {
        finishSendingTls(watchFd);
        return;
    }
    if (socket_)
        ::shutdown(socket_->impl()->sockfd(), SHUT_WR);
    close();
}

void FtpDataChannel::kill() noexcept
{
    killed_ = true;
    std::lock_guard lock(mutex_);
    if (socket_)
        ::shutdown(socket_->impl()->sockfd(), SHUT_RDWR);
    if (listener_)
        ::shutdown(listener_->impl()->sockfd(), SHUT_RDWR);
}

void FtpDataChannel::close() noexcept
{
    std::lock_guard lock(mutex_);
    tls_.reset();
    tlsFailure_.clear();
    try {
        if (socket_)
            socket_->close();
        if (listener_)
            listener_->close();
    } catch (...) {
    }
    socket_.reset();
    listener_.reset();
}

void FtpDataChannel::abandon() noexcept
{
    {
        std::lock_guard lock(mutex_);
        if (socket_) {
            const linger reset{1, 0};
            ::setsockopt(socket_->impl()->sockfd(), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        }
    }
    close();
}

} // namespace Platform

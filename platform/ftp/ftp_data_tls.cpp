// The data connection under TLS: its handshake, resuming the control connection's session, and
// TLS results read as socket results by the move loops.
#include "platform/ftp/ftp_data.h"

#include "platform/ftp/data_pace.h"
#include "platform/ftp/ftp_errors.h"
#include "platform/ftp/tls_stream.h"
#include "platform/common/net_error_text.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

namespace Platform {

void FtpDataChannel::secure(TlsClientContext& context, const std::string& host)
{
    const int fd = openDescriptor();
    tls_ = std::make_unique<TlsStream>(context, fd, host, true);
    DataPace pace(tick_, hook_, timeout_);
    for (;;) {
        const TlsStream::Io step = tls_->handshake();
        if (step == TlsStream::Io::Done)
            return;
        if (step == TlsStream::Io::Failed || step == TlsStream::Io::Closed || killed_)
            throw FtpError("Falha na negociação TLS da conexão de dados com o servidor FTP ("
                           + (killed_ ? std::string("cancelada") : tls_->failure()) + ").");
        // The socket waited one slice inside the call: a server that never completes the
        // handshake runs out the time-out, and the tick hears a stop meanwhile.
        pace.idle(0);
    }
}

ssize_t FtpDataChannel::tlsResult(TlsStream::Io io, std::size_t count)
{
    switch (io) {
    case TlsStream::Io::Done:
        return static_cast<ssize_t>(count);
    case TlsStream::Io::Closed:
        return 0;
    case TlsStream::Io::WantRead:
    case TlsStream::Io::WantWrite:
        errno = EAGAIN;
        return -1;
    case TlsStream::Io::Failed:
        break;
    }
    tlsFailure_ = tls_->failure();
    errno = EPROTO;
    return -1;
}

std::string FtpDataChannel::reasonOf(int error) const
{
    if (error == EPROTO && !tlsFailure_.empty())
        return tlsFailure_;
    return describeSystemError(error);
}

void FtpDataChannel::finishSendingTls(int watchFd)
{
    const int fd = openDescriptor();
    DataPace pace(tick_, hook_, timeout_);
    // The end of an upload under TLS is its close_notify: a server may take a bare close for a cut.
    for (TlsStream::Io step = tls_->shutdown(); step == TlsStream::Io::WantWrite && !killed_; step = tls_->shutdown())
        pace.idle(0);
    ::shutdown(fd, SHUT_WR);
    // Then the server's end, or its final reply: what it sent meanwhile (TLS 1.3 tickets, its
    // close_notify) must not lie unread when the socket closes, or the kernel resets the
    // connection under the server's last reads.
    char discard[4096];
    while (!killed_) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {watchFd, POLLIN, 0}};
        const int ready = ::poll(fds, watchFd >= 0 ? 2 : 1, static_cast<int>(kTick.count()));
        if (ready < 0 && errno != EINTR)
            break;
        if (ready <= 0) {
            pace.idle(0);
            continue;
        }
        if (fds[0].revents != 0) {
            const ssize_t n = ::recv(fd, discard, sizeof discard, MSG_DONTWAIT);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
                break;
            continue;
        }
        if (fds[1].revents != 0)
            break;
    }
    close();
}

} // namespace Platform

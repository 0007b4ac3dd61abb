// The control connection under TLS: the handshake after AUTH TLS, and encrypted reads and writes
// on the (then non-blocking) descriptor, each waited for in slices that serve the hook.
#include "platform/ftp/ftp_control.h"

#include "platform/ftp/ftp_errors.h"
#include "platform/ftp/tls_stream.h"

#include <fcntl.h>
#include <poll.h>

namespace Platform {

void FtpControlConnection::startTls(TlsClientContext& context, const std::string& host,
                                    std::chrono::milliseconds timeout)
{
    if (!open_)
        throw FtpConnectionLost("Sem conexão com o servidor FTP.");
    // Bytes after the 234 came before the encryption: whoever sent them, they are not the server's
    // word (a command injected in clear), so the session ends here.
    if (bufferPos_ < buffer_.size())
        fail(kError, "O servidor FTP " + where_ + " enviou dados sem criptografia depois de aceitar o TLS.");
    const int fd = socket_.impl()->sockfd();
    // Non-blocking from here on: half a TLS record must never hold a read past its deadline.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    tls_ = std::make_unique<TlsStream>(context, fd, host, false);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const TlsStream::Io step = tls_->handshake();
        if (step == TlsStream::Io::Done)
            return;
        if (step == TlsStream::Io::Failed || step == TlsStream::Io::Closed) {
            const std::string why = tls_->failure();
            tls_.reset();
            fail(kError, "Falha na negociação TLS com o servidor FTP " + where_ + ": " + why + ".");
        }
        if (!waitFor(step == TlsStream::Io::WantWrite ? POLLOUT : POLLIN, deadline)) {
            tls_.reset();
            fail(kTimeout, "Tempo esgotado na negociação TLS com o servidor FTP " + where_ + ".");
        }
    }
}

void FtpControlConnection::sendTls(const std::string& bytes)
{
    const auto deadline = std::chrono::steady_clock::now() + sendTimeout_;
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        std::size_t count = 0;
        const TlsStream::Io step = tls_->write(bytes.data() + sent, bytes.size() - sent, count);
        if (step == TlsStream::Io::Done) {
            sent += count;
            continue;
        }
        if (step == TlsStream::Io::Failed || step == TlsStream::Io::Closed)
            fail(kLost, "A conexão com o servidor FTP " + where_ + " foi perdida ("
                            + (step == TlsStream::Io::Closed ? std::string("encerrada") : tls_->failure()) + ").");
        if (!waitFor(step == TlsStream::Io::WantWrite ? POLLOUT : POLLIN, deadline))
            fail(kTimeout, "Tempo esgotado ao enviar comando ao servidor FTP " + where_ + ".");
    }
}

std::size_t FtpControlConnection::receiveTls(char* chunk, std::size_t size, std::chrono::steady_clock::time_point deadline)
{
    for (;;) {
        std::size_t count = 0;
        const TlsStream::Io step = tls_->read(chunk, size, count);
        if (step == TlsStream::Io::Done)
            return count;
        if (step == TlsStream::Io::Closed)
            return 0;
        if (step == TlsStream::Io::Failed)
            fail(kLost, "A conexão com o servidor FTP " + where_ + " foi perdida (" + tls_->failure() + ").");
        if (!waitFor(step == TlsStream::Io::WantWrite ? POLLOUT : POLLIN, deadline))
            fail(kTimeout, "Tempo esgotado aguardando resposta do servidor FTP " + where_ + ".");
    }
}

bool FtpControlConnection::peekAliveTls()
{
    // Only a decrypted read tells a reply from a record of TLS's own (a session ticket).
    pollfd watch{socket_.impl()->sockfd(), POLLIN, 0};
    if (!tls_->pending() && ::poll(&watch, 1, 0) <= 0)
        return true;
    char chunk[4096];
    std::size_t count = 0;
    switch (tls_->read(chunk, sizeof chunk, count)) {
    case TlsStream::Io::Done:
        buffer_.append(chunk, count);
        return buffer_.compare(bufferPos_, 3, "421") != 0;
    case TlsStream::Io::WantRead:
    case TlsStream::Io::WantWrite:
        return true;
    default:
        return false;
    }
}

} // namespace Platform

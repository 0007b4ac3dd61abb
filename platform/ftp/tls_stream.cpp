#include "platform/ftp/tls_stream.h"

#include "platform/ftp/ftp_errors.h"
#include "platform/ftp/tls_context.h"
#include "platform/common/net_error_text.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>

#include <arpa/inet.h>

#include <cerrno>

namespace Platform {

namespace {

bool isAddress(const std::string& host)
{
    unsigned char buffer[16];
    return inet_pton(AF_INET, host.c_str(), buffer) == 1 || inet_pton(AF_INET6, host.c_str(), buffer) == 1;
}

std::string openSslReason()
{
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    if (code == 0)
        return "erro TLS";
    const char* reason = ERR_reason_error_string(code);
    return std::string("erro TLS: ") + (reason ? reason : "desconhecido");
}

} // namespace

TlsStream::TlsStream(TlsClientContext& context, int fd, const std::string& host, bool resume)
    : ssl_(SSL_new(context.native()), SSL_free), host_(host)
{
    if (!ssl_ || SSL_set_fd(ssl_.get(), fd) != 1)
        throw FtpError("Não foi possível preparar o TLS (OpenSSL).");
    SSL_set_connect_state(ssl_.get());
    // SNI carries names only, never an address.
    if (!host.empty() && !isAddress(host))
        SSL_set_tlsext_host_name(ssl_.get(), host.c_str());
    if (!resume) {
        TlsClientContext::keepSessionsOf(ssl_.get());
    } else if (SSL_SESSION* newest = context.newestSession()) {
        // A copy: once a TLS 1.3 connection that resumed a session gets a ticket of its own, OpenSSL
        // marks the session it resumed as spent, and the next data connection could not resume it.
        SSL_SESSION* copy = SSL_SESSION_dup(newest);
        SSL_set_session(ssl_.get(), copy ? copy : newest);
        if (copy)
            SSL_SESSION_free(copy);
    }
}

TlsStream::~TlsStream() = default;

TlsStream::Io TlsStream::settle(int result, std::size_t moved, std::size_t& count, bool handshaking)
{
    count = 0;
    if (result == 1) {
        count = moved;
        return Io::Done;
    }
    const int savedErrno = errno;
    switch (SSL_get_error(ssl_.get(), result)) {
    case SSL_ERROR_WANT_READ:
        return Io::WantRead;
    case SSL_ERROR_WANT_WRITE:
        return Io::WantWrite;
    case SSL_ERROR_ZERO_RETURN:
        ERR_clear_error();
        if (handshaking) {
            failure_ = "a conexão foi encerrada durante a negociação TLS";
            return Io::Failed;
        }
        return Io::Closed;
    case SSL_ERROR_SYSCALL:
        ERR_clear_error();
        if (savedErrno == EAGAIN || savedErrno == EWOULDBLOCK || savedErrno == EINTR)
            return Io::WantRead;
        if (savedErrno == 0 && !handshaking)
            return Io::Closed;
        failure_ = savedErrno == 0 ? "a conexão foi encerrada durante a negociação TLS"
                                   : describeSystemError(savedErrno);
        return Io::Failed;
    default:
        failure_ = openSslReason();
        // A peer that closed mid-handshake shows up as an SSL error with no reason of its own.
        if (handshaking && failure_ == "erro TLS")
            failure_ = "a conexão foi encerrada durante a negociação TLS";
        return Io::Failed;
    }
}

TlsStream::Io TlsStream::handshake()
{
    ERR_clear_error();
    errno = 0;
    std::size_t ignored = 0;
    return settle(SSL_do_handshake(ssl_.get()), 0, ignored, true);
}

TlsStream::Io TlsStream::read(char* into, std::size_t size, std::size_t& count)
{
    ERR_clear_error();
    errno = 0;
    std::size_t moved = 0;
    const int result = SSL_read_ex(ssl_.get(), into, size, &moved);
    return settle(result, moved, count, false);
}

TlsStream::Io TlsStream::write(const char* from, std::size_t size, std::size_t& count)
{
    ERR_clear_error();
    errno = 0;
    std::size_t moved = 0;
    const int result = SSL_write_ex(ssl_.get(), from, size, &moved);
    return settle(result, moved, count, false);
}

TlsStream::Io TlsStream::shutdown()
{
    if (shutdownSent_)
        return Io::Done;
    ERR_clear_error();
    errno = 0;
    const int result = SSL_shutdown(ssl_.get());
    if (result >= 0) {
        // 0: ours went out, the peer's is not awaited.
        shutdownSent_ = true;
        return Io::Done;
    }
    std::size_t ignored = 0;
    return settle(result, 0, ignored, false);
}

bool TlsStream::pending() const { return SSL_pending(ssl_.get()) > 0; }

std::string TlsStream::protocol() const { return SSL_get_version(ssl_.get()); }

std::string TlsStream::cipher() const
{
    const char* name = SSL_get_cipher_name(ssl_.get());
    return name ? name : "";
}

bool TlsStream::resumed() const { return SSL_session_reused(ssl_.get()) == 1; }

TlsCertificate TlsStream::certificate() const
{
    X509* cert = SSL_get1_peer_certificate(ssl_.get());
    if (!cert)
        return {};
    const long verdict = SSL_get_verify_result(ssl_.get());
    TlsCertificate out = describeCertificate(cert, host_, verdict == X509_V_OK,
                                             verdict == X509_V_OK ? "" : X509_verify_cert_error_string(verdict));
    X509_free(cert);
    return out;
}

} // namespace Platform

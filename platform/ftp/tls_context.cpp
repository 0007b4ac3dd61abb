#include "platform/ftp/tls_context.h"

#include "platform/ftp/ftp_errors.h"

#include <openssl/ssl.h>

namespace Platform {

namespace {

int contextIndex()
{
    static const int index = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return index;
}

int connectionIndex()
{
    static const int index = SSL_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return index;
}

} // namespace

TlsClientContext::TlsClientContext() : ctx_(SSL_CTX_new(TLS_client_method()), SSL_CTX_free), newest_(nullptr, SSL_SESSION_free)
{
    if (!ctx_)
        throw FtpError("Não foi possível preparar o TLS (OpenSSL).");
    SSL_CTX_set_min_proto_version(ctx_.get(), TLS1_2_VERSION);
    // AES-128-GCM first: as safe for these files, and less work for both ends than AES-256 (the
    // server's, on an upload, is what the transfer waits on).
    SSL_CTX_set_ciphersuites(ctx_.get(), "TLS_AES_128_GCM_SHA256:TLS_AES_256_GCM_SHA384:TLS_CHACHA20_POLY1305_SHA256");
    // The chain is judged after the handshake (SSL_get_verify_result), by the caller's rules: a
    // certificate the system does not trust can still be trusted by the user.
    SSL_CTX_set_verify(ctx_.get(), SSL_VERIFY_NONE, nullptr);
    SSL_CTX_set_default_verify_paths(ctx_.get());
    // A data connection that ends without close_notify is judged by its byte count and the final
    // reply, as a plain one is; many servers never send it.
    SSL_CTX_set_options(ctx_.get(), SSL_OP_IGNORE_UNEXPECTED_EOF);
    SSL_CTX_set_mode(ctx_.get(), SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    SSL_CTX_set_session_cache_mode(ctx_.get(), SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
    SSL_CTX_sess_set_new_cb(ctx_.get(), &TlsClientContext::onNewSession);
    SSL_CTX_set_ex_data(ctx_.get(), contextIndex(), this);
}

TlsClientContext::~TlsClientContext() = default;

void TlsClientContext::forgetSession() { newest_.reset(); }

void TlsClientContext::keepSessionsOf(SSL* ssl) { SSL_set_ex_data(ssl, connectionIndex(), reinterpret_cast<void*>(1)); }

int TlsClientContext::onNewSession(SSL* ssl, SSL_SESSION* session)
{
    auto* self = static_cast<TlsClientContext*>(SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), contextIndex()));
    if (!self || !SSL_get_ex_data(ssl, connectionIndex()))
        return 0;
    self->newest_.reset(session);
    return 1;  // the session is ours now
}

} // namespace Platform

#pragma once

#include <memory>

typedef struct ssl_ctx_st SSL_CTX;
typedef struct ssl_session_st SSL_SESSION;
typedef struct ssl_st SSL;

namespace Platform {

// The TLS client side of one FTP session: OpenSSL's context with the system's certificate
// authorities, and the newest session the server handed out, which every data connection resumes
// (servers refuse data connections that do not: vsftpd's "522 ... session reuse required").
// Under TLS 1.3 the tickets arrive after the handshake, with the first replies read; a later
// ticket replaces an earlier one. Used from one thread.
//
// OpenSSL is used directly, not through Poco's NetSSL: the client needs the new-session callback
// for those tickets, handshakes that wait in slices while a stop request or a wait hook is served,
// and TLS on descriptors whose reads and writes our own loops pace; Poco 1.11 offers none of these.
class TlsClientContext {
public:
    TlsClientContext();
    ~TlsClientContext();
    TlsClientContext(const TlsClientContext&) = delete;
    TlsClientContext& operator=(const TlsClientContext&) = delete;

    SSL_CTX* native() const { return ctx_.get(); }
    // The newest session, or null before the first.
    SSL_SESSION* newestSession() const { return newest_.get(); }
    // Forgets the session (a new control connection starts afresh).
    void forgetSession();
    // Sessions are kept from this connection only (the control connection's): servers take a
    // data connection as resumed only with one of those (vsftpd refuses one a data connection handed out).
    static void keepSessionsOf(SSL* ssl);

private:
    static int onNewSession(SSL* ssl, SSL_SESSION* session);

    std::unique_ptr<SSL_CTX, void (*)(SSL_CTX*)> ctx_;
    std::unique_ptr<SSL_SESSION, void (*)(SSL_SESSION*)> newest_;
};

} // namespace Platform

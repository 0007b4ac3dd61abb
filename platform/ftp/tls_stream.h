#pragma once

#include "platform/ftp/tls_certificate.h"

#include <cstddef>
#include <memory>
#include <string>

typedef struct ssl_st SSL;

namespace Platform {

class TlsClientContext;

// TLS over one connected descriptor, as the client. Each call does what it can without waiting
// longer than the descriptor itself waits (a non-blocking one not at all, a blocking one with a
// time-out one slice) and says what it needs to go on: the caller's loop does the waiting, so that
// its time-outs, stop requests and wait hooks apply as they do without TLS.
class TlsStream {
public:
    enum class Io {
        Done,       // count bytes moved (handshake or shutdown: finished)
        WantRead,   // call again once the descriptor is readable
        WantWrite,  // call again once it is writable
        Closed,     // the peer ended the stream (close_notify, or the connection's end)
        Failed      // failure() says why
    };

    // With resume, the context's newest session is offered (a data connection).
    TlsStream(TlsClientContext& context, int fd, const std::string& host, bool resume);
    ~TlsStream();
    TlsStream(const TlsStream&) = delete;
    TlsStream& operator=(const TlsStream&) = delete;

    Io handshake();
    Io read(char* into, std::size_t size, std::size_t& count);
    Io write(const char* from, std::size_t size, std::size_t& count);
    // Sends close_notify (once); the peer's is not awaited.
    Io shutdown();
    // Decrypted bytes waiting inside the stream: readable without the descriptor being so.
    bool pending() const;

    // Portuguese, for a message: "a conexão foi encerrada durante a negociação", "erro TLS: ...".
    const std::string& failure() const { return failure_; }
    std::string protocol() const;
    std::string cipher() const;
    bool resumed() const;
    // The server's certificate, judged for the host given at construction; empty fingerprint when
    // the server sent none.
    TlsCertificate certificate() const;

private:
    Io settle(int result, std::size_t moved, std::size_t& count, bool handshaking);

    std::unique_ptr<SSL, void (*)(SSL*)> ssl_;
    std::string host_;
    std::string failure_;
    bool shutdownSent_ = false;
};

} // namespace Platform

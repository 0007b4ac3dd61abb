#pragma once

#include "platform/common/platform_export.h"

#include <cstdint>
#include <string>

typedef struct x509_st X509;

namespace Platform {

// What a server's certificate says, as a screen shows it before trusting it.
struct PLATFORM_API TlsCertificate {
    std::string subject;            // "CN=ftp.empresa.com.br,O=Empresa" (RFC 2253 order, UTF-8)
    std::string issuer;             // the same form; equal to subject when self-signed
    bool selfSigned = false;
    std::int64_t notBefore = 0;     // seconds since the epoch, UTC
    std::int64_t notAfter = 0;
    bool expired = false;           // judged now
    bool notYetValid = false;
    bool chainValid = false;        // against the system's certificate authorities
    std::string chainError;         // OpenSSL's reason when not, English
    bool hostMatches = false;       // the name (or address) connected to is one the certificate names
    std::string fingerprint;        // SHA-256 of the DER form, "AB:CD:..."

    // Accepted without asking: a chain the system trusts, for the host connected to.
    bool trustedBySystem() const { return chainValid && hostMatches; }
};

// Reads cert (never null) as seen for host. chainValid and chainError come from the handshake's
// verification, given by the caller.
TlsCertificate describeCertificate(X509* cert, const std::string& host, bool chainValid, const std::string& chainError);

} // namespace Platform

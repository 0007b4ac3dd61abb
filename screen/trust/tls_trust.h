#pragma once

#include "screen/trust/trust_store.h"

#include "platform/ftp/tls_certificate.h"

#include <map>
#include <string>

namespace Cli_Vop31600 {

// The screen's decisions on the TLS of its FTP server, taken on the user-interface thread before
// USER and PASS leave: a certificate the system vouches for passes silently, one trusted before by
// its fingerprint too; any other is put to the user. The worker never decides: it is given the
// fingerprint accepted here, and its connection must present the same.
class TlsTrust {
public:
    explicit TlsTrust(TrustStore store = TrustStore());

    // Whether plain FTP from hostPort is to be refused (it spoke TLS before).
    bool requiresTls(const std::string& hostPort) const;
    // Judges the certificate (asking when need be); true goes on. Remembers what was accepted.
    bool accept(const std::string& hostPort, const Platform::TlsCertificate& cert);
    // After a log-in over TLS: from now on this server must speak TLS.
    void noteTls(const std::string& hostPort);
    // The fingerprint accepted for hostPort in this screen's life, or the one trusted for good; empty
    // when none (the system's authorities then decide alone).
    std::string acceptedFingerprint(const std::string& hostPort) const;

private:
    TrustStore store_;
    std::map<std::string, std::string> accepted_;  // hostPort -> fingerprint, for this screen's life
};

} // namespace Cli_Vop31600

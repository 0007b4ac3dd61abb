#pragma once

#include "platform/ftp/tls_certificate.h"

#include <string>
#include <vector>

namespace Cli_Vop31600 {

// The question asked before trusting a server's certificate, in the user's words.
struct CertificateQuestion {
    std::string caption;
    std::string text;
    std::vector<std::string> buttons;  // "Confiar sempre", "Somente desta vez", "Não conectar"
    int defaultButton = 0;
};

enum class CertificateAnswer { TrustAlways = 0, TrustOnce = 1, DoNotConnect = 2 };

// A certificate the system does not vouch for (self-signed, unknown authority, another host name,
// out of its validity).
CertificateQuestion unknownCertificateQuestion(const std::string& hostPort, const Platform::TlsCertificate& cert);
// A server trusted before that now shows another certificate; "Não conectar" is the default.
CertificateQuestion changedCertificateQuestion(const std::string& hostPort, const Platform::TlsCertificate& cert,
                                               const std::string& trustedFingerprint);

} // namespace Cli_Vop31600

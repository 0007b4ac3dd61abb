#include "screen/trust/tls_trust.h"

#include "screen/trust/certificate_question.h"

#include "mrv/prompts.h"

namespace Cli_Vop31600 {

TlsTrust::TlsTrust(TrustStore store) : store_(std::move(store)) {}

bool TlsTrust::requiresTls(const std::string& hostPort) const
{
    const auto entry = store_.find(hostPort);
    return entry && entry->tlsSeen;
}

bool TlsTrust::accept(const std::string& hostPort, const Platform::TlsCertificate& cert)
{
    const auto stored = store_.find(hostPort);
    const std::string trusted = stored ? stored->fingerprint : std::string();
    const auto once = accepted_.find(hostPort);
    if (cert.fingerprint == trusted || (once != accepted_.end() && once->second == cert.fingerprint)
        || (trusted.empty() && cert.trustedBySystem())) {
        accepted_[hostPort] = cert.fingerprint;
        return true;
    }
    const CertificateQuestion question = trusted.empty() ? unknownCertificateQuestion(hostPort, cert)
                                                         : changedCertificateQuestion(hostPort, cert, trusted);
    const int answer = Mrv::prompts().choose(question.caption, question.text, question.buttons, question.defaultButton);
    if (answer != static_cast<int>(CertificateAnswer::TrustAlways) && answer != static_cast<int>(CertificateAnswer::TrustOnce))
        return false;
    accepted_[hostPort] = cert.fingerprint;
    // A store that cannot be written keeps the trust for this screen only; the question comes again
    // next time.
    if (answer == static_cast<int>(CertificateAnswer::TrustAlways))
        store_.store(hostPort, {cert.fingerprint, true});
    return true;
}

void TlsTrust::noteTls(const std::string& hostPort)
{
    auto entry = store_.find(hostPort).value_or(TrustStore::Entry{});
    if (entry.tlsSeen)
        return;
    entry.tlsSeen = true;
    store_.store(hostPort, entry);
}

std::string TlsTrust::acceptedFingerprint(const std::string& hostPort) const
{
    const auto once = accepted_.find(hostPort);
    if (once != accepted_.end())
        return once->second;
    const auto stored = store_.find(hostPort);
    return stored ? stored->fingerprint : std::string();
}

} // namespace Cli_Vop31600

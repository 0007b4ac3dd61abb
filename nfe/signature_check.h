#pragma once

#include "nfe/nfe_document.h"
#include "nfe/signer_certificate.h"
#include "nfe/trust_roots.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

// The XMLDSig signature of an invoice or event file (libxmlsec1 over libxml2, OpenSSL).
namespace Nfe {

// Smaller RSA keys are refused: ICP-Brasil has issued 2048-bit keys for years, a 512-bit one is forged in hours.
inline constexpr int kMinKeyBits = 2048;

struct SignatureCheck {
    // The shape is accepted, the digest of the signed content recomputed matches, the signature value
    // verifies with the certificate's key, the key is strong enough, the certificate was in force at
    // the issue time and its chain was not found invalid.
    bool valid = false;
    QString reason;  // why not, in Portuguese ("o conteúdo foi alterado depois da assinatura"); empty when valid
    bool certificateRead = false;
    CertificateFacts signer;      // when certificateRead
    bool matchesIssuer = false;   // the signer's CNPJ root (8 digits) is the issuer's (an e-CPF: the same CPF)
    bool inForceAtIssue = false;  // notBefore <= issue time <= notAfter
    QDateTime issueTime;          // dhEmi (dhEvento), else the protocol's time, else now
    ChainResult chain;
    std::optional<bool> protocolMatches;  // none without a protocol: digVal and chNFe are this content's
    QString digestValue;
};

// The signature of document, checked on the bytes it was read from (by parseDocument). None when the
// document is no invoice or event, or carries no signature. Never throws; safe on any thread.
std::optional<SignatureCheck> checkSignature(const QByteArray& bytes, const Document& document, const TrustRoots& roots);

} // namespace Nfe

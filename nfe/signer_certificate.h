#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <openssl/types.h>

#include <memory>

// The signer's certificate as the signature check reads it (OpenSSL).
namespace Nfe {

struct CertificateFree {
    void operator()(X509* certificate) const;
};
using Certificate = std::unique_ptr<X509, CertificateFree>;

// A certificate from DER bytes (the decoded text of X509Certificate) or PEM; null when it does not parse.
Certificate readCertificate(const QByteArray& bytes);

struct CertificateFacts {
    QString holder;    // the NAME of an ICP-Brasil common name "NAME:CNPJ", else the whole common name
    QString document;  // the digits after the colon (a CNPJ, or an e-CPF's CPF); empty when there are none
    QDateTime notBefore, notAfter;  // UTC
    bool rsa = false;
    int keyBits = 0;
    bool selfSigned = false;
};

CertificateFacts factsOf(X509* certificate);
// The subject's common name (CN), for naming a root or an issuer.
QString commonName(X509* certificate, bool issuer = false);

} // namespace Nfe

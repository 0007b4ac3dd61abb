#include "nfe/signer_certificate.h"

#include <openssl/asn1.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <ctime>
#include <map>
#include <mutex>

namespace Nfe {
namespace {

QDateTime toDateTime(const ASN1_TIME* time)
{
    std::tm parts{};
    if (!time || ASN1_TIME_to_tm(time, &parts) != 1)
        return {};
    return QDateTime(QDate(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday),
                     QTime(parts.tm_hour, parts.tm_min, parts.tm_sec), Qt::UTC);
}

bool allDigits(const QString& text)
{
    if (text.isEmpty())
        return false;
    for (QChar c : text)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

} // namespace

void CertificateFree::operator()(X509* certificate) const { X509_free(certificate); }

namespace {

Certificate decode(const QByteArray& bytes)
{
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
    if (Certificate der{d2i_X509(nullptr, &data, bytes.size())})
        return der;
    std::unique_ptr<BIO, decltype(&BIO_free)> pem(BIO_new_mem_buf(bytes.constData(), static_cast<int>(bytes.size())),
                                                  &BIO_free);
    return Certificate(pem ? PEM_read_bio_X509(pem.get(), nullptr, nullptr, nullptr) : nullptr);
}

} // namespace

Certificate readCertificate(const QByteArray& bytes)
{
    // A month's files carry a few certificates many times over (one per issuer), and decoding one
    // costs OpenSSL 3 more than the rest of a check: each is decoded once.
    constexpr std::size_t kKept = 256;
    static std::mutex mutex;
    static std::map<QByteArray, Certificate> decoded;
    std::lock_guard lock(mutex);
    auto found = decoded.find(bytes);
    if (found == decoded.end()) {
        Certificate certificate = decode(bytes);
        if (!certificate)
            return nullptr;
        if (decoded.size() >= kKept)
            decoded.clear();
        found = decoded.emplace(bytes, std::move(certificate)).first;
    }
    X509_up_ref(found->second.get());
    return Certificate(found->second.get());
}

QString commonName(X509* certificate, bool issuer)
{
    X509_NAME* name = issuer ? X509_get_issuer_name(certificate) : X509_get_subject_name(certificate);
    const int index = X509_NAME_get_index_by_NID(name, NID_commonName, -1);
    if (index < 0)
        return {};
    const ASN1_STRING* value = X509_NAME_ENTRY_get_data(X509_NAME_get_entry(name, index));
    unsigned char* utf8 = nullptr;
    const int length = ASN1_STRING_to_UTF8(&utf8, value);
    if (length < 0)
        return {};
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(utf8), length);
    OPENSSL_free(utf8);
    return text;
}

CertificateFacts factsOf(X509* certificate)
{
    CertificateFacts facts;
    const QString name = commonName(certificate);
    const qsizetype colon = name.lastIndexOf(u':');
    if (colon >= 0 && allDigits(name.mid(colon + 1))) {
        facts.holder = name.left(colon).trimmed();
        facts.document = name.mid(colon + 1);
    } else {
        facts.holder = name;
    }
    facts.notBefore = toDateTime(X509_get0_notBefore(certificate));
    facts.notAfter = toDateTime(X509_get0_notAfter(certificate));
    if (EVP_PKEY* key = X509_get0_pubkey(certificate)) {
        facts.rsa = EVP_PKEY_get_base_id(key) == EVP_PKEY_RSA;
        facts.keyBits = EVP_PKEY_get_bits(key);
    }
    facts.selfSigned = (X509_get_extension_flags(certificate) & EXFLAG_SS) != 0;
    return facts;
}

} // namespace Nfe

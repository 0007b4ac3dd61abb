#include "platform/ftp/tls_certificate.h"

#include <openssl/asn1.h>
#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <ctime>
#include <memory>

namespace Platform {

namespace {

std::string nameText(const X509_NAME* name)
{
    if (!name)
        return {};
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new(BIO_s_mem()), BIO_free);
    if (!bio)
        return {};
    // RFC 2253 order, UTF-8 kept as it is (no \\XX escapes of accented letters).
    X509_NAME_print_ex(bio.get(), name, 0, XN_FLAG_RFC2253 & ~ASN1_STRFLGS_ESC_MSB);
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio.get(), &data);
    return size > 0 ? std::string(data, static_cast<std::size_t>(size)) : std::string();
}

std::int64_t epochOf(const ASN1_TIME* when)
{
    std::tm parts{};
    if (!when || ASN1_TIME_to_tm(when, &parts) != 1)
        return 0;
    return static_cast<std::int64_t>(timegm(&parts));
}

std::string sha256Fingerprint(X509* cert)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (X509_digest(cert, EVP_sha256(), digest, &size) != 1)
        return {};
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned int i = 0; i < size; ++i) {
        if (i > 0)
            out += ':';
        out += hex[digest[i] >> 4];
        out += hex[digest[i] & 0xF];
    }
    return out;
}

bool namesHost(X509* cert, const std::string& host)
{
    // An address is matched against the certificate's IP entries, a name against its DNS entries.
    if (X509_check_ip_asc(cert, host.c_str(), 0) == 1)
        return true;
    return X509_check_host(cert, host.data(), host.size(), X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS, nullptr) == 1;
}

} // namespace

TlsCertificate describeCertificate(X509* cert, const std::string& host, bool chainValid, const std::string& chainError)
{
    TlsCertificate out;
    out.subject = nameText(X509_get_subject_name(cert));
    out.issuer = nameText(X509_get_issuer_name(cert));
    out.selfSigned = X509_check_issued(cert, cert) == X509_V_OK;
    out.notBefore = epochOf(X509_get0_notBefore(cert));
    out.notAfter = epochOf(X509_get0_notAfter(cert));
    out.notYetValid = X509_cmp_current_time(X509_get0_notBefore(cert)) > 0;
    out.expired = X509_cmp_current_time(X509_get0_notAfter(cert)) < 0;
    out.chainValid = chainValid;
    out.chainError = chainError;
    out.hostMatches = namesHost(cert, host);
    out.fingerprint = sha256Fingerprint(cert);
    return out;
}

} // namespace Platform

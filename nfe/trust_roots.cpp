#include "nfe/trust_roots.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <openssl/x509.h>
#include <openssl/x509_vfy.h>

#include <mutex>

namespace Nfe {
namespace {

// Larger files are not certificates.
constexpr qint64 kMaxCertificateFile = 256 * 1024;

struct StackFree {
    void operator()(STACK_OF(X509) * stack) const { sk_X509_free(stack); }
};
struct ContextFree {
    void operator()(X509_STORE_CTX* context) const { X509_STORE_CTX_free(context); }
};

QString notVerifiedReason(X509* failing)
{
    const QString issuer = failing ? commonName(failing, true) : QString();
    return QStringLiteral("cadeia não verificada: a autoridade emissora (%1) não está entre as raízes instaladas")
        .arg(issuer.isEmpty() ? QStringLiteral("sem nome") : issuer);
}

QString invalidReason(int error)
{
    switch (error) {
    case X509_V_ERR_CERT_NOT_YET_VALID:
    case X509_V_ERR_CERT_HAS_EXPIRED:
        return QStringLiteral("um certificado da cadeia não era válido na data de emissão");
    case X509_V_ERR_CERT_SIGNATURE_FAILURE:
        return QStringLiteral("a assinatura de um certificado da cadeia não confere");
    case X509_V_ERR_INVALID_CA:
        return QStringLiteral("um certificado da cadeia não é de autoridade certificadora");
    default:
        return QStringLiteral("a cadeia do certificado foi recusada (%1)")
            .arg(QString::fromUtf8(X509_verify_cert_error_string(error)));
    }
}

} // namespace

void TrustRoots::StoreFree::operator()(X509_STORE* store) const { X509_STORE_free(store); }

TrustRoots::TrustRoots() : store_(X509_STORE_new()) {}
TrustRoots::~TrustRoots() = default;

std::shared_ptr<const TrustRoots> TrustRoots::fromFolders(const QStringList& folders)
{
    auto roots = std::make_shared<TrustRoots>();
    for (const QString& folder : folders) {
        const QDir dir(folder);
        for (const QString& name : dir.entryList(QDir::Files | QDir::Readable, QDir::Name)) {
            QFile file(dir.filePath(name));
            if (file.size() > kMaxCertificateFile || !file.open(QIODevice::ReadOnly))
                continue;
            Certificate certificate = readCertificate(file.readAll());
            if (!certificate)
                continue;
            if (factsOf(certificate.get()).selfSigned) {
                if (X509_STORE_add_cert(roots->store_.get(), certificate.get()) == 1)
                    ++roots->roots_;
            } else {
                roots->intermediates_.push_back(std::move(certificate));
            }
        }
    }
    return roots;
}

std::shared_ptr<const TrustRoots> TrustRoots::installed()
{
    static std::once_flag once;
    static std::shared_ptr<const TrustRoots> roots;
    std::call_once(once, [] {
        roots = fromFolders(QStandardPaths::locateAll(QStandardPaths::GenericDataLocation,
                                                      QStringLiteral("vop31600/icp-brasil"),
                                                      QStandardPaths::LocateDirectory));
    });
    return roots;
}

ChainResult TrustRoots::verify(X509* signer, const std::vector<X509*>& carried, const QDateTime& at) const
{
    if (empty())
        return {ChainStatus::NotVerified, {}};
    std::unique_ptr<STACK_OF(X509), StackFree> untrusted(sk_X509_new_null());
    for (X509* certificate : carried)
        sk_X509_push(untrusted.get(), certificate);
    for (const Certificate& certificate : intermediates_)
        sk_X509_push(untrusted.get(), certificate.get());
    std::unique_ptr<X509_STORE_CTX, ContextFree> context(X509_STORE_CTX_new());
    if (!context || X509_STORE_CTX_init(context.get(), store_.get(), signer, untrusted.get()) != 1)
        return {ChainStatus::NotVerified, QStringLiteral("cadeia não verificada: falta memória")};
    X509_VERIFY_PARAM_set_time(X509_STORE_CTX_get0_param(context.get()), at.toSecsSinceEpoch());
    if (X509_verify_cert(context.get()) == 1) {
        STACK_OF(X509)* chain = X509_STORE_CTX_get0_chain(context.get());
        return {ChainStatus::Verified, commonName(sk_X509_value(chain, sk_X509_num(chain) - 1))};
    }
    const int error = X509_STORE_CTX_get_error(context.get());
    switch (error) {
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        return {ChainStatus::NotVerified, notVerifiedReason(X509_STORE_CTX_get_current_cert(context.get()))};
    default:
        return {ChainStatus::Invalid, invalidReason(error)};
    }
}

} // namespace Nfe

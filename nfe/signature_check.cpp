#include "nfe/signature_check.h"

#include "nfe/signature_shape.h"

// xmlsec.h first: the others need its types.
#include <xmlsec/xmlsec.h>

#include <libxml/parser.h>
#include <openssl/evp.h>
#include <openssl/x509.h>
#include <xmlsec/errors.h>
#include <xmlsec/keys.h>
#include <xmlsec/openssl/app.h>
#include <xmlsec/openssl/crypto.h>
#include <xmlsec/openssl/evp.h>
#include <xmlsec/xmldsig.h>

#include <climits>
#include <memory>
#include <mutex>

namespace Nfe {
namespace {

bool initialised()
{
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] {
        xmlInitParser();
        ready = xmlSecInit() == 0 && xmlSecCheckVersion() == 1 && xmlSecOpenSSLAppInit(nullptr) == 0
                && xmlSecOpenSSLInit() == 0;
        // Failures are reported in the check's reason, not on stderr.
        xmlSecErrorsDefaultCallbackEnableOutput(0);
    });
    return ready;
}

struct DocumentFree {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
struct ContextFree {
    void operator()(xmlSecDSigCtx* context) const { xmlSecDSigCtxDestroy(context); }
};

enum class Outcome { Verified, ContentAltered, SignatureMismatch, Failed };

// xmlsec recomputes the Reference's digest over the element of the registered Id, then the
// signature value over SignedInfo; only the transforms and algorithms we accept are enabled.
Outcome verify(xmlNodePtr signature, EVP_PKEY* publicKey)
{
    std::unique_ptr<xmlSecDSigCtx, ContextFree> context(xmlSecDSigCtxCreate(nullptr));
    if (!context || EVP_PKEY_up_ref(publicKey) != 1)
        return Outcome::Failed;
    xmlSecKeyDataPtr data = xmlSecOpenSSLEvpKeyAdopt(publicKey);
    if (!data) {
        EVP_PKEY_free(publicKey);
        return Outcome::Failed;
    }
    context->signKey = xmlSecKeyCreate();  // the context frees it
    if (!context->signKey || xmlSecKeySetValue(context->signKey, data) < 0) {
        xmlSecKeyDataDestroy(data);
        return Outcome::Failed;
    }
    context->flags = XMLSEC_DSIG_FLAGS_IGNORE_MANIFESTS;
    context->enabledReferenceUris = xmlSecTransformUriTypeSameDocument;
    for (xmlSecTransformId id : {xmlSecTransformEnvelopedId, xmlSecTransformInclC14NId, xmlSecOpenSSLTransformSha1Id,
                                 xmlSecOpenSSLTransformSha256Id})
        if (xmlSecDSigCtxEnableReferenceTransform(context.get(), id) < 0)
            return Outcome::Failed;
    for (xmlSecTransformId id : {xmlSecTransformInclC14NId, xmlSecOpenSSLTransformRsaSha1Id, xmlSecOpenSSLTransformRsaSha256Id})
        if (xmlSecDSigCtxEnableSignatureTransform(context.get(), id) < 0)
            return Outcome::Failed;
    if (xmlSecDSigCtxVerify(context.get(), signature) < 0)
        return Outcome::Failed;
    if (context->status == xmlSecDSigStatusSucceeded)
        return Outcome::Verified;
    // The references are digested before the signature value is looked at.
    auto* reference = static_cast<xmlSecDSigReferenceCtxPtr>(xmlSecPtrListGetItem(&context->signedInfoReferences, 0));
    return reference && reference->status != xmlSecDSigStatusSucceeded ? Outcome::ContentAltered
                                                                         : Outcome::SignatureMismatch;
}

QDateTime timeOf(const QString& iso) { return QDateTime::fromString(iso, Qt::ISODate); }

QDateTime issueTimeOf(const Document& document)
{
    QDateTime at = timeOf(document.kind == DocumentKind::Event && document.event ? document.event->date : document.issued);
    if (!at.isValid() && document.protocol)
        at = timeOf(document.protocol->date);
    return at.isValid() ? at : QDateTime::currentDateTimeUtc();
}

bool sameHolder(const QString& signer, const QString& issuer)
{
    if (signer.size() == 14 && issuer.size() == 14)
        return signer.left(8) == issuer.left(8);  // a branch may sign with its head office's certificate
    return signer.size() == 11 && signer == issuer;
}

// What the certificate and the document say about each other, once the certificate was read.
void judgeCertificate(SignatureCheck& check, const Document& document, X509* signer,
                      const std::vector<Certificate>& others, const TrustRoots& roots)
{
    check.signer = factsOf(signer);
    check.certificateRead = true;
    const bool event = document.kind == DocumentKind::Event;
    check.matchesIssuer = sameHolder(check.signer.document, event && document.event ? document.event->author
                                                                                    : document.issuer.document);
    check.issueTime = issueTimeOf(document);
    check.inForceAtIssue = check.signer.notBefore <= check.issueTime && check.issueTime <= check.signer.notAfter;
    std::vector<X509*> carried;
    for (const Certificate& other : others)
        carried.push_back(other.get());
    check.chain = roots.verify(signer, carried, check.issueTime);
    if (document.protocol) {
        const QString key = event && document.event ? document.event->key : document.key;
        check.protocolMatches = document.protocol->key == key && (event || document.protocol->digest == check.digestValue);
    }
}

QString cryptoReason(Outcome outcome)
{
    switch (outcome) {
    case Outcome::ContentAltered:
        return QStringLiteral("o conteúdo foi alterado depois da assinatura");
    case Outcome::SignatureMismatch:
        return QStringLiteral("o valor da assinatura não confere com o certificado do signatário");
    case Outcome::Failed:
        return QStringLiteral("a assinatura não pôde ser verificada (estrutura ou chave recusada)");
    case Outcome::Verified:
        break;
    }
    return {};
}

QString keyReason(const CertificateFacts& signer)
{
    if (!signer.rsa)
        return QStringLiteral("a chave do certificado não é RSA");
    if (signer.keyBits < kMinKeyBits)
        return QStringLiteral("a chave do certificado tem %1 bits; o mínimo aceito é %2").arg(signer.keyBits).arg(kMinKeyBits);
    return {};
}

SignatureCheck check(const Document& document, const TrustRoots& roots, const Signing::SignatureShape& shape)
{
    SignatureCheck result;
    result.digestValue = shape.digestValue;
    if (!shape.refusal.isEmpty()) {
        result.reason = shape.refusal;
        return result;
    }
    const QString key = document.kind == DocumentKind::Event ? shape.id.mid(8, 44) : shape.id.mid(3);
    if (key != (document.kind == DocumentKind::Event && document.event ? document.event->key : document.key)) {
        result.reason = QStringLiteral("a chave do documento não é a do conteúdo assinado");
        return result;
    }
    std::vector<Certificate> certificates;
    for (const QByteArray& der : shape.certificates)
        certificates.push_back(readCertificate(der));
    if (!certificates.front()) {
        result.reason = QStringLiteral("o certificado do signatário não pôde ser lido");
        return result;
    }
    Certificate signer = std::move(certificates.front());
    certificates.erase(certificates.begin());
    std::erase_if(certificates, [](const Certificate& c) { return !c; });
    judgeCertificate(result, document, signer.get(), certificates, roots);
    result.reason = keyReason(result.signer);
    if (result.reason.isEmpty())
        result.reason = cryptoReason(verify(shape.signature, X509_get0_pubkey(signer.get())));
    if (result.reason.isEmpty() && !result.inForceAtIssue)
        result.reason = QStringLiteral("o certificado não estava dentro da validade na data de emissão");
    if (result.reason.isEmpty() && result.chain.status == ChainStatus::Invalid)
        result.reason = QStringLiteral("a cadeia do certificado é inválida: %1").arg(result.chain.detail);
    result.valid = result.reason.isEmpty();
    return result;
}

} // namespace

std::optional<SignatureCheck> checkSignature(const QByteArray& bytes, const Document& document, const TrustRoots& roots)
{
    if (document.kind != DocumentKind::Invoice && document.kind != DocumentKind::Event)
        return std::nullopt;
    SignatureCheck failed;
    if (!initialised()) {
        failed.reason = QStringLiteral("a biblioteca de assinaturas não pôde ser iniciada");
        return failed;
    }
    if (bytes.size() > INT_MAX)
        return std::nullopt;
    std::unique_ptr<xmlDoc, DocumentFree> doc(
        xmlReadMemory(bytes.constData(), static_cast<int>(bytes.size()), nullptr, nullptr,
                      XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
    if (!doc || doc->intSubset) {
        if (!bytes.contains("Signature"))
            return std::nullopt;
        failed.reason = QStringLiteral("o XML não pôde ser lido para verificar a assinatura");
        return failed;
    }
    Signing::SignatureShape shape = Signing::findSignature(doc.get(), document.kind);
    if (!shape.present)
        return std::nullopt;
    return check(document, roots, shape);
}

} // namespace Nfe

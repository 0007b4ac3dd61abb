#include "nfe/signature_shape.h"

#include "nfe/nfe_parser.h"

#include <libxml/valid.h>
#include <libxml/xmlmemory.h>

#include <vector>

namespace Nfe::Signing {
namespace {

constexpr const char* kC14n = "http://www.w3.org/TR/2001/REC-xml-c14n-20010315";
constexpr const char* kEnveloped = "http://www.w3.org/2000/09/xmldsig#enveloped-signature";
const char* const kSignatureMethods[] = {"http://www.w3.org/2000/09/xmldsig#rsa-sha1",
                                         "http://www.w3.org/2001/04/xmldsig-more#rsa-sha256"};
const char* const kDigestMethods[] = {"http://www.w3.org/2000/09/xmldsig#sha1",
                                      "http://www.w3.org/2001/04/xmlenc#sha256"};

bool is(const xmlNode* node, const char* ns, const char* name)
{
    return node && node->type == XML_ELEMENT_NODE && node->ns && xmlStrEqual(node->ns->href, BAD_CAST ns)
           && xmlStrEqual(node->name, BAD_CAST name);
}

std::vector<xmlNodePtr> children(xmlNodePtr parent, const char* ns, const char* name)
{
    std::vector<xmlNodePtr> found;
    for (xmlNodePtr child = parent ? xmlFirstElementChild(parent) : nullptr; child; child = xmlNextElementSibling(child))
        if (is(child, ns, name))
            found.push_back(child);
    return found;
}

xmlNodePtr onlyChild(xmlNodePtr parent, const char* ns, const char* name)
{
    const std::vector<xmlNodePtr> found = children(parent, ns, name);
    return found.size() == 1 ? found.front() : nullptr;
}

QString text(xmlNodePtr node)
{
    xmlChar* content = node ? xmlNodeGetContent(node) : nullptr;
    const QString value = QString::fromUtf8(reinterpret_cast<const char*>(content)).trimmed();
    xmlFree(content);
    return value;
}

QString attribute(xmlNodePtr node, const char* name)
{
    xmlChar* value = node ? xmlGetNoNsProp(node, BAD_CAST name) : nullptr;
    const QString result = QString::fromUtf8(reinterpret_cast<const char*>(value));
    xmlFree(value);
    return result;
}

// Elements of that local name in any namespace, anywhere, except right under skipParent (the
// authority's retEvento also holds an infEvento).
int countNamed(xmlNodePtr root, const char* name, const char* skipParent)
{
    int count = 0;
    std::vector<xmlNodePtr> pending{root};
    while (!pending.empty()) {
        xmlNodePtr node = pending.back();
        pending.pop_back();
        if (xmlStrEqual(node->name, BAD_CAST name) && !(node->parent && xmlStrEqual(node->parent->name, BAD_CAST skipParent)))
            ++count;
        for (xmlNodePtr child = xmlFirstElementChild(node); child; child = xmlNextElementSibling(child))
            pending.push_back(child);
    }
    return count;
}

bool oneOf(const QString& algorithm, const char* const (&known)[2])
{
    return algorithm == QLatin1String(known[0]) || algorithm == QLatin1String(known[1]);
}

bool digitsAfter(const QString& id, int prefix, int digits)
{
    if (id.size() != prefix + digits)
        return false;
    for (qsizetype i = prefix; i < id.size(); ++i)
        if (id[i] < u'0' || id[i] > u'9')
            return false;
    return true;
}

// The signature's own parts, once the signed element was found: SignedInfo and KeyInfo.
void readSignedInfo(SignatureShape& shape)
{
    xmlNodePtr signedInfo = onlyChild(shape.signature, kDsigNamespace, "SignedInfo");
    if (!signedInfo) {
        shape.refusal = QStringLiteral("a assinatura não tem um SignedInfo");
        return;
    }
    const QString c14n = attribute(onlyChild(signedInfo, kDsigNamespace, "CanonicalizationMethod"), "Algorithm");
    const QString method = attribute(onlyChild(signedInfo, kDsigNamespace, "SignatureMethod"), "Algorithm");
    const std::vector<xmlNodePtr> references = children(signedInfo, kDsigNamespace, "Reference");
    if (c14n != QLatin1String(kC14n))
        shape.refusal = QStringLiteral("canonicalização não aceita na assinatura: \"%1\"").arg(c14n);
    else if (!oneOf(method, kSignatureMethods))
        shape.refusal = QStringLiteral("algoritmo de assinatura não aceito: \"%1\"").arg(method);
    else if (references.size() != 1)
        shape.refusal = QStringLiteral("a assinatura tem %1 referências; só é aceita uma, ao conteúdo assinado")
                            .arg(references.size());
    if (!shape.refusal.isEmpty())
        return;
    xmlNodePtr reference = references.front();
    const QString uri = attribute(reference, "URI");
    if (uri != u'#' + shape.id) {
        shape.refusal = QStringLiteral("a assinatura se refere a \"%1\", não ao conteúdo do documento (\"#%2\")")
                            .arg(uri, shape.id);
        return;
    }
    for (xmlNodePtr transform : children(onlyChild(reference, kDsigNamespace, "Transforms"), kDsigNamespace, "Transform")) {
        const QString algorithm = attribute(transform, "Algorithm");
        if (algorithm != QLatin1String(kEnveloped) && algorithm != QLatin1String(kC14n)) {
            shape.refusal = QStringLiteral("transformação não aceita na assinatura: \"%1\"").arg(algorithm);
            return;
        }
    }
    const QString digest = attribute(onlyChild(reference, kDsigNamespace, "DigestMethod"), "Algorithm");
    if (!oneOf(digest, kDigestMethods)) {
        shape.refusal = QStringLiteral("algoritmo de resumo não aceito: \"%1\"").arg(digest);
        return;
    }
    shape.digestValue = text(onlyChild(reference, kDsigNamespace, "DigestValue"));
    for (xmlNodePtr data : children(onlyChild(shape.signature, kDsigNamespace, "KeyInfo"), kDsigNamespace, "X509Data"))
        for (xmlNodePtr certificate : children(data, kDsigNamespace, "X509Certificate"))
            shape.certificates.push_back(QByteArray::fromBase64(text(certificate).toLatin1()));
    if (shape.certificates.empty())
        shape.refusal = QStringLiteral("a assinatura não traz o certificado do signatário (X509Certificate)");
}

} // namespace

SignatureShape findSignature(xmlDocPtr doc, DocumentKind kind)
{
    SignatureShape shape;
    const bool invoice = kind == DocumentKind::Invoice;
    const char* outer = invoice ? "NFe" : "evento";
    const char* contentName = invoice ? "infNFe" : "infEvento";
    xmlNodePtr root = xmlDocGetRootElement(doc);
    const std::vector<xmlNodePtr> signedElements =
        is(root, kNamespace, outer) ? std::vector<xmlNodePtr>{root} : children(root, kNamespace, outer);
    std::vector<xmlNodePtr> signatures;
    for (xmlNodePtr element : signedElements)
        for (xmlNodePtr signature : children(element, kDsigNamespace, "Signature"))
            signatures.push_back(signature);
    if (signatures.empty())
        return shape;
    shape.present = true;
    xmlNodePtr content = onlyChild(signedElements.front(), kNamespace, contentName);
    shape.id = attribute(content, "Id");
    if (signedElements.size() > 1)
        shape.refusal = QStringLiteral("o documento tem mais de um %1").arg(QLatin1String(outer));
    else if (signatures.size() > 1)
        shape.refusal = QStringLiteral("o documento tem %1 assinaturas; só é aceita uma").arg(signatures.size());
    else if (!content || countNamed(root, contentName, "retEvento") != 1)
        shape.refusal = QStringLiteral("o documento tem mais de um %1 (o conteúdo assinado pode ter sido trocado)")
                            .arg(QLatin1String(contentName));
    else if (invoice ? !digitsAfter(shape.id, 3, 44) || !shape.id.startsWith(u"NFe")
                     : !digitsAfter(shape.id, 2, 52) || !shape.id.startsWith(u"ID"))
        shape.refusal = QStringLiteral("o Id do %1 (\"%2\") não tem a forma esperada").arg(QLatin1String(contentName), shape.id);
    if (!shape.refusal.isEmpty())
        return shape;
    // Only this attribute is an ID: a reference cannot reach anything else, and an element that
    // already claims the same Id (an xml:id) makes the document refused.
    xmlAttrPtr idAttribute = xmlHasProp(content, BAD_CAST "Id");
    const QByteArray id = shape.id.toUtf8();
    if (!xmlAddID(nullptr, doc, BAD_CAST id.constData(), idAttribute)
        || xmlGetID(doc, BAD_CAST id.constData()) != idAttribute) {
        shape.refusal = QStringLiteral("o Id \"%1\" se repete no documento").arg(shape.id);
        return shape;
    }
    shape.signature = signatures.front();
    readSignedInfo(shape);
    return shape;
}

} // namespace Nfe::Signing

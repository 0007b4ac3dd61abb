#pragma once

#include "nfe/nfe_document.h"

#include <QByteArray>
#include <QString>

#include <libxml/tree.h>

#include <vector>

// Where a document's enveloped signature is and whether its shape is one we accept, before any
// cryptography: the defence against signature wrapping and against transforms that select other
// content than the invoice or event.
namespace Nfe::Signing {

inline constexpr const char* kDsigNamespace = "http://www.w3.org/2000/09/xmldsig#";

struct SignatureShape {
    bool present = false;  // the signed element carries a signature at all
    QString refusal;       // why the shape is refused, in Portuguese; empty when it is accepted
    xmlNodePtr signature = nullptr;  // NFe/Signature or evento/Signature
    QString id;                      // the Id of the signed infNFe or infEvento, registered as an ID
    QString digestValue;             // Reference/DigestValue as written
    std::vector<QByteArray> certificates;  // each X509Certificate decoded, in document order
};

// Finds the signature of an invoice (kind Invoice) or event (Event) in doc: one Signature beside the
// one infNFe/infEvento, its Id "NFe" + 44 digits (or "ID" + 52 digits) registered as an ID attribute,
// one Reference to "#" + that Id, only the enveloped and C14N 1.0 transforms, C14N 1.0 for
// SignedInfo, RSA-SHA1/SHA256 and SHA1/SHA256.
SignatureShape findSignature(xmlDocPtr doc, DocumentKind kind);

} // namespace Nfe::Signing

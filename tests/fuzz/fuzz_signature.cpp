// Feeds arbitrary bytes to the signature check: as a whole document, and as the signer's certificate
// of a document whose signature has the accepted shape, so that the certificate reader and the
// verification behind it are reached too. Every outcome must carry its reason.
#include "nfe/nfe_display.h"
#include "nfe/nfe_parser.h"
#include "nfe/signature_check.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

const QByteArray kKey = "35240312345678000195550010000001231000012343";

QByteArray shaped(const QByteArray& certificate)
{
    return "<nfeProc xmlns=\"http://www.portalfiscal.inf.br/nfe\"><NFe><infNFe Id=\"NFe" + kKey
           + "\"><ide><dhEmi>2024-03-15T10:00:00-03:00</dhEmi></ide><emit><CNPJ>12345678000195</CNPJ></emit></infNFe>"
             "<Signature xmlns=\"http://www.w3.org/2000/09/xmldsig#\"><SignedInfo><CanonicalizationMethod "
             "Algorithm=\"http://www.w3.org/TR/2001/REC-xml-c14n-20010315\"/><SignatureMethod "
             "Algorithm=\"http://www.w3.org/2000/09/xmldsig#rsa-sha1\"/><Reference URI=\"#NFe" + kKey
           + "\"><Transforms><Transform Algorithm=\"http://www.w3.org/2000/09/xmldsig#enveloped-signature\"/>"
             "</Transforms><DigestMethod Algorithm=\"http://www.w3.org/2000/09/xmldsig#sha1\"/><DigestValue>"
             "AAAAAAAAAAAAAAAAAAAAAAAAAAA=</DigestValue></Reference></SignedInfo><SignatureValue>AAAA</SignatureValue>"
             "<KeyInfo><X509Data><X509Certificate>" + certificate.toBase64()
           + "</X509Certificate></X509Data></KeyInfo></Signature></NFe></nfeProc>";
}

void read(const QByteArray& bytes)
{
    static const auto roots = Nfe::TrustRoots::fromFolders({});
    const Nfe::Document document = Nfe::parseDocument(bytes);
    const std::optional<Nfe::SignatureCheck> result = Nfe::checkSignature(bytes, document, *roots);
    if (!result)
        return;
    check(result->valid == result->reason.isEmpty());
    check(!result->valid || result->certificateRead);
    Nfe::signatureText(*result, QLocale::c()).toVariant();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    read(bytes);
    read(shaped(bytes));
    return 0;
}

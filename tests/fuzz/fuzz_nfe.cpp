// Feeds arbitrary bytes to the NF-e reader, bare and inside an nfeProc, and formats what it found,
// checking that every outcome carries what the window needs.
#include "nfe/access_key.h"
#include "nfe/nfe_display.h"
#include "nfe/nfe_parser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void read(const QByteArray& bytes)
{
    const Nfe::Document document = Nfe::parseDocument(bytes);
    const bool understood = document.kind == Nfe::DocumentKind::Invoice || document.kind == Nfe::DocumentKind::Event
                            || document.kind == Nfe::DocumentKind::Voiding;
    check(understood == document.error.isEmpty());
    const Nfe::DetailsText details = Nfe::describe(document, QStringLiteral("nota.xml"), QLocale::c());
    check(details.error.has_value() != understood);
    check(!details.keyValid || document.key.size() == Nfe::kKeyLength);
    check(!details.keyMatchesName);
    details.toVariant();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    read(bytes);
    read("<nfeProc xmlns=\"http://www.portalfiscal.inf.br/nfe\"><NFe><infNFe>" + bytes + "</infNFe></NFe></nfeProc>");
    return 0;
}

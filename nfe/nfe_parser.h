#pragma once

#include "nfe/nfe_document.h"

#include <QByteArray>

namespace Nfe {

inline constexpr const char* kNamespace = "http://www.portalfiscal.inf.br/nfe";
// Deeper documents are refused: an NF-e never nests beyond a dozen levels, a bomb does.
inline constexpr int kMaxDepth = 64;

// Reads an NF-e invoice (nfeProc, NFe) or event (procEventoNFe, evento) from the bytes of a file,
// namespace-aware, with or without prefixes. Only the elements the details need are kept. A DOCTYPE
// is refused before anything it declares is used, so no entity is ever expanded or fetched; so is a
// document nested deeper than kMaxDepth. Never throws: the outcome is in Document::kind and error.
Document parseDocument(const QByteArray& bytes);

} // namespace Nfe

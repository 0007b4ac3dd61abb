#pragma once

#include <string>
#include <string_view>

// Folding for the find filter: lower case, accents dropped (canonical decomposition without the
// combining marks), so "AÇÃO" and "acao" fold to the same text.
namespace Platform::Detail {

// Appends the folded form of UTF-8 text to out (reusing out's storage).
void appendFolded(std::string_view text, std::string& out);

} // namespace Platform::Detail

#pragma once

#include <string>

namespace Cli_Vop31600 {

// The four system directories at the root of the store, which the screen may neither delete nor
// create. The candidate is the path box text and the entry name joined with nothing between them,
// upper-cased, so only the root can produce a match.
bool isProtectedPath(const std::string& pathBox, const std::string& name);

// Upper-cases the letters a to z only, leaving every other byte (UTF-8 included) alone.
std::string upperAscii(std::string text);

} // namespace Cli_Vop31600

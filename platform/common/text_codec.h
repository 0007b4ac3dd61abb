#pragma once

#include "platform/common/platform_export.h"

#include <string>

// The wire speaks Windows-1252; the program speaks UTF-8. These convert at the boundary.
namespace Platform {

// UTF-8 to CP1252. Throws std::invalid_argument naming the character when CP1252 cannot hold it.
PLATFORM_API std::string utf8ToCp1252(const std::string& utf8);
// CP1252 to UTF-8. Bytes that CP1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) become U+FFFD.
PLATFORM_API std::string cp1252ToUtf8(const std::string& cp1252);

} // namespace Platform

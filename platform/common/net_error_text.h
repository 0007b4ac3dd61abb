#pragma once

#include "platform/common/platform_export.h"

#include <string>

namespace Poco {
class Exception;
}

namespace Platform {

// A network failure in the user's words (Poco's own texts are English): "conexão recusada",
// "tempo esgotado", ...
PLATFORM_API std::string describeNetworkError(const Poco::Exception& error);

// An operating-system error (errno) in the user's words: "permissão negada", "sem espaço em disco", ...
PLATFORM_API std::string describeSystemError(int code);

// A value for a message: "(vazio)" when there is none, so that a sentence never has a hole.
PLATFORM_API std::string shownValue(const std::string& value);

} // namespace Platform

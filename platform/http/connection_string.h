#pragma once

#include "platform/common/platform_export.h"

#include <string>
#include <utility>
#include <vector>

namespace Platform {

// The gateway's connection text: Name=Value pairs joined by "&".
struct GatewayConnection {
    std::string Address, Login, Password, Path, FileDir;
};

// Names match without regard to case; the first pair of a name wins; a missing name gives "".
PLATFORM_API void ExtraiDadosConexao(const std::string& text, std::string& address, std::string& login,
                                     std::string& password, std::string& path, std::string& fileDir);
PLATFORM_API GatewayConnection parseGatewayConnection(const std::string& text);

// scheme (https when https == 1) + address + (":" + port when the port is not empty, which is the
// host library's empty-text test). The address is used unchanged.
PLATFORM_API std::string gatewayBaseUrl(const std::string& address, const std::string& port, int https);

// base "/" path "/" endpoint "?" query, one "/" between parts, query values percent-encoded UTF-8.
PLATFORM_API std::string gatewayRequestUrl(const std::string& baseUrl, const std::string& path,
                                           const std::string& endpoint,
                                           const std::vector<std::pair<std::string, std::string>>& query);

} // namespace Platform

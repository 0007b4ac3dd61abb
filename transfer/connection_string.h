#pragma once

#include <string>
#include <utility>
#include <vector>

namespace Cli_Vop31601 {

// The gateway's connection text: Name=Value pairs joined by "&".
struct GatewayConnection {
    std::string Address, Login, Password, Path, FileDir;
};

// Names match without regard to case; the first pair of a name wins; a missing name gives "".
void ExtraiDadosConexao(const std::string& text, std::string& address, std::string& login, std::string& password,
                        std::string& path, std::string& fileDir);
GatewayConnection parseGatewayConnection(const std::string& text);

// scheme (https when https == 1) + address + (":" + port when the port is not empty). The address is
// used unchanged.
std::string gatewayBaseUrl(const std::string& address, const std::string& port, int https);

// base "/" path "/" endpoint "?" query, one "/" between parts, query values percent-encoded UTF-8.
std::string gatewayRequestUrl(const std::string& baseUrl, const std::string& path, const std::string& endpoint,
                              const std::vector<std::pair<std::string, std::string>>& query);

} // namespace Cli_Vop31601

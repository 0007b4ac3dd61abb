#include "platform/http/connection_string.h"

#include <Poco/URI.h>


namespace Platform {
namespace {

std::string lowerAscii(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string valueOf(const std::vector<std::string>& lines, const std::string& name)
{
    const std::string wanted = lowerAscii(name);
    for (const auto& line : lines) {
        const auto equals = line.find('=');
        const std::string lineName = equals == std::string::npos ? line : line.substr(0, equals);
        if (lowerAscii(lineName) == wanted)
            return equals == std::string::npos ? std::string() : line.substr(equals + 1);
    }
    return {};
}

std::string trimSlashes(const std::string& part)
{
    const auto first = part.find_first_not_of('/');
    if (first == std::string::npos)
        return {};
    const auto last = part.find_last_not_of('/');
    return part.substr(first, last - first + 1);
}

} // namespace

void ExtraiDadosConexao(const std::string& text, std::string& address, std::string& login, std::string& password,
                        std::string& path, std::string& fileDir)
{
    // Every "&" becomes a line break; each line is one Name=Value pair.
    std::vector<std::string> lines;
    std::string current;
    for (char c : text) {
        if (c == '&') {
            lines.push_back(current);
            current.clear();
        } else {
            current.push_back(c);
        }
    }
    lines.push_back(current);
    address = valueOf(lines, "Address");
    login = valueOf(lines, "Login");
    password = valueOf(lines, "Password");
    path = valueOf(lines, "Path");
    fileDir = valueOf(lines, "FileDir");
}

GatewayConnection parseGatewayConnection(const std::string& text)
{
    GatewayConnection c;
    ExtraiDadosConexao(text, c.Address, c.Login, c.Password, c.Path, c.FileDir);
    return c;
}

std::string gatewayBaseUrl(const std::string& address, const std::string& port, int https)
{
    const std::string scheme = https == 1 ? "https://" : "http://";
    const std::string portPart = port.empty() ? std::string() : ":" + port;
    return scheme + address + portPart;
}

std::string gatewayRequestUrl(const std::string& baseUrl, const std::string& path, const std::string& endpoint,
                              const std::vector<std::pair<std::string, std::string>>& query)
{
    std::string url = baseUrl;
    while (!url.empty() && url.back() == '/')
        url.pop_back();
    for (const std::string& part : {trimSlashes(path), endpoint}) {
        if (!part.empty())
            url += "/" + part;
    }
    char separator = '?';
    for (const auto& [name, value] : query) {
        std::string encoded;
        Poco::URI::encode(value, "!#$&'()*+,/:;=?@[]% ", encoded);
        url += separator + name + "=" + encoded;
        separator = '&';
    }
    return url;
}

} // namespace Platform

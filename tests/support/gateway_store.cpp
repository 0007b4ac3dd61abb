#include "tests/support/gateway_store.h"

#include <Poco/URI.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace GatewayTest {

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const std::string& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

std::string patternBytes(std::size_t size)
{
    std::string bytes(size, '\0');
    std::uint32_t state = 12345;
    for (auto& byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<char>(state >> 16);
    }
    return bytes;
}

std::map<std::string, std::string> snapshot(const std::string& dir)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
        const auto relative = std::filesystem::relative(entry.path(), dir).string();
        files[relative] = entry.is_regular_file() ? readFile(entry.path().string()) : std::string("<dir>");
    }
    return files;
}

Store::Store() : root(temp.path() + "/store"), outside(temp.path() + "/outside")
{
    std::filesystem::create_directories(root);
    std::filesystem::create_directories(outside);
    writeFile(outside + "/secret.txt", "do not read me");
}

std::string url(const std::string& base, const std::string& endpoint, const std::map<std::string, std::string>& query)
{
    std::string text = base + "/gw/" + endpoint;
    char separator = '?';
    for (const auto& [key, value] : query) {
        std::string encoded;
        Poco::URI::encode(value, "&=+?#/;:@", encoded);
        text += separator + key + "=" + encoded;
        separator = '&';
    }
    return text;
}

} // namespace GatewayTest

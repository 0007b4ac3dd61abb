#include "appserver/store_paths.h"

#include "appserver/gateway_error.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <vector>

#include <sys/stat.h>

namespace AppServer {
namespace {

// realpath(3), or an empty string with errno set.
std::string resolved(const std::string& path)
{
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : std::string();
}

// A name with a line end or another control byte would forge lines in the listings everybody reads;
// one over the file system's 255 bytes could never be created.
void checkEntry(const std::string& entry)
{
    if (hasControlCharacter(entry))
        throw GatewayError(400, "Nome inválido: caracteres de controle não são permitidos");
    if (entry.size() > 255)
        throw GatewayError(400, "Nome inválido: mais de 255 bytes");
}

bool under(const std::string& path, const std::string& root)
{
    return path == root || (path.size() > root.size() && path.compare(0, root.size(), root) == 0 && path[root.size()] == '/');
}

} // namespace

bool hasControlCharacter(const std::string& text)
{
    return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

StorePaths::StorePaths(const std::string& root) : root_(resolved(root))
{
    struct stat info {};
    if (root_.empty() || ::stat(root_.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        throw std::runtime_error("store folder does not exist: " + root);
}

std::string StorePaths::join(const std::string& current, const std::string& target)
{
    const std::string combined = (!target.empty() && target[0] == '/') ? target : current + "/" + target;
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= combined.size()) {
        const std::size_t slash = std::min(combined.find('/', start), combined.size());
        const std::string part = combined.substr(start, slash - start);
        start = slash + 1;
        if (part.empty() || part == ".")
            continue;
        checkEntry(part);
        if (part == "..") {
            if (parts.empty())
                throw GatewayError(403, "Caminho fora da área do servidor: " + target);
            parts.pop_back();
        } else
            parts.push_back(part);
    }
    std::string path;
    for (const auto& part : parts)
        path += "/" + part;
    return path.empty() ? "/" : path;
}

void StorePaths::checkName(const std::string& name)
{
    if (name.empty())
        throw GatewayError(400, "Nome não informado");
    checkEntry(name);
    if (name == "." || name == ".." || name.find('/') != std::string::npos)
        throw GatewayError(403, "Nome fora do diretório: " + name);
}

std::string StorePaths::directory(const std::string& virtualDir) const
{
    const std::string virtualPath = join("/", virtualDir);
    const std::string real = existing(root_ + (virtualPath == "/" ? "" : virtualPath));
    struct stat info {};
    if (::stat(real.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        throw GatewayError(404, "Não é um diretório: " + virtualPath);
    return real;
}

std::string StorePaths::existing(const std::string& realPath) const
{
    const std::string real = resolved(realPath);
    if (real.empty()) {
        if (errno == ENOENT || errno == ENOTDIR)
            throw GatewayError(404, "Não encontrado: " + realPath.substr(std::min(realPath.size(), root_.size())));
        throw GatewayError(403, "Acesso negado");
    }
    if (!under(real, root_))
        throw GatewayError(403, "Caminho fora da área do servidor");
    return real;
}

bool StorePaths::inside(const std::string& realPath) const
{
    const std::string real = resolved(realPath);
    return !real.empty() && under(real, root_);
}

} // namespace AppServer

#include "platform/http/gateway_client.h"

#include "platform/common/text_codec.h"
#include "platform/http/id_http.h"

#include <sstream>

namespace Platform {
namespace {

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::string firstLine(const std::string& text)
{
    const auto end = text.find_first_of("\r\n");
    return end == std::string::npos ? text : text.substr(0, end);
}

} // namespace

GatewayClient::GatewayClient(TIdHTTP& http, const GatewaySettings& settings)
    : http_(http), connection_(parseGatewayConnection(settings.connectionString)),
      base_(gatewayBaseUrl(connection_.Address, settings.port, settings.https))
{
}

std::string GatewayClient::url(const std::string& endpoint,
                               const std::vector<std::pair<std::string, std::string>>& query) const
{
    return gatewayRequestUrl(base_, connection_.Path, endpoint, query);
}

TIdHTTP& GatewayClient::authorised()
{
    http_.Username = connection_.Login;
    http_.Password = connection_.Password;
    return http_;
}

std::string GatewayClient::changeDir(const std::string& from, const std::string& to)
{
    const std::string target = url("cwd", {{"dir", from}, {"to", to}});
    return firstLine(authorised().Get(target));
}

std::vector<std::string> GatewayClient::list(const std::string& dir)
{
    const std::string target = url("list", {{"dir", dir}});
    return splitLines(cp1252ToUtf8(authorised().Get(target)));
}

void GatewayClient::download(const std::string& dir, const std::string& name, std::ostream& out)
{
    const std::string target = url("file", {{"dir", dir}, {"name", name}});
    authorised().Get(target, out);
}

void GatewayClient::downloadFrom(const std::string& dir, const std::string& name, std::ostream& out, std::int64_t from,
                                 const std::string& ifRange)
{
    const std::string target = url("file", {{"dir", dir}, {"name", name}});
    authorised().GetFrom(target, out, from, ifRange);
}

std::string GatewayClient::lastModified() const { return http_.LastModified(); }

void GatewayClient::upload(const std::string& dir, const std::string& name, const std::string& localPath)
{
    const std::string target = url("file", {{"dir", dir}, {"name", name}});
    authorised().PostFile(target, "file", localPath);
}

void GatewayClient::remove(const std::string& dir, const std::string& name, bool isDirectory)
{
    const std::string target = url("delete", {{"dir", dir}, {"name", name}, {"kind", isDirectory ? "dir" : "file"}});
    authorised().Post(target);
}

void GatewayClient::makeDir(const std::string& dir, const std::string& name)
{
    const std::string target = url("mkdir", {{"dir", dir}, {"name", name}});
    authorised().Post(target);
}

} // namespace Platform

// Browsing, deleting and creating directories through the HTTP gateway, when the application server
// puts the screen in HTTP mode.
#include "screen/remote_browser.h"

#include "screen/memory_sink.h"
#include "transfer/connection_string.h"

#include "platform/http/id_http.h"
#include "platform/common/text_codec.h"

#include <sstream>

namespace Cli_Vop31600 {
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

class GatewayBrowser final : public RemoteBrowser {
public:
    GatewayBrowser(Platform::TIdHTTP& client, GatewaySettings settings) : http_(client), settings_(std::move(settings)) {}

    void connect() override {}
    void disconnect() noexcept override {}
    bool connected() const override { return true; }

    void changeDir(const std::string& path) override
    {
        const std::string from = current_.empty() ? std::string("/") : current_;
        current_ = firstLine(http_.Get(url("cwd", {{"dir", from}, {"to", path}})));
    }

    std::string currentDir() override { return current_; }

    std::vector<std::string> list() override
    {
        return splitLines(Platform::cp1252ToUtf8(http_.Get(url("list", {{"dir", current_}}))));
    }

    void remove(const std::string& name, bool isDirectory) override
    {
        http_.Post(url("delete", {{"dir", current_}, {"name", name}, {"kind", isDirectory ? "dir" : "file"}}));
    }

    void makeDir(const std::string& name) override { http_.Post(url("mkdir", {{"dir", current_}, {"name", name}})); }

    std::string read(const std::string& name, std::int64_t /*expectedSize*/, std::int64_t maxBytes) override
    {
        // The reply's Content-Length is the count the client holds the body to.
        MemorySink sink(maxBytes);
        std::ostream out(&sink);
        try {
            http_.Get(url("file", {{"dir", current_}, {"name", name}}), out);
        } catch (const std::runtime_error&) {
            if (sink.exceeded())
                throw FileTooLarge(maxBytes);
            throw;
        }
        return sink.take();
    }

private:
    std::string url(const std::string& endpoint, const std::vector<std::pair<std::string, std::string>>& query)
    {
        const auto connection = Cli_Vop31601::parseGatewayConnection(settings_.connectionString);
        http_.Username = connection.Login;
        http_.Password = connection.Password;
        const std::string base = Cli_Vop31601::gatewayBaseUrl(connection.Address, settings_.port, settings_.https);
        return Cli_Vop31601::gatewayRequestUrl(base, connection.Path, endpoint, query);
    }

    Platform::TIdHTTP& http_;
    GatewaySettings settings_;
    std::string current_;
};

} // namespace

std::unique_ptr<RemoteBrowser> makeGatewayBrowser(Platform::TIdHTTP& client, GatewaySettings settings)
{
    return std::make_unique<GatewayBrowser>(client, std::move(settings));
}

} // namespace Cli_Vop31600

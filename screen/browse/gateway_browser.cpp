// Browsing, deleting and creating directories through the HTTP gateway, when the application server
// puts the screen in HTTP mode.
#include "screen/browse/remote_browser.h"

#include "screen/browse/memory_sink.h"

#include "platform/http/gateway_client.h"

#include <ostream>
#include <stdexcept>

namespace Cli_Vop31600 {
namespace {

class GatewayBrowser final : public RemoteBrowser {
public:
    GatewayBrowser(Platform::TIdHTTP& client, const Platform::GatewaySettings& settings) : gateway_(client, settings) {}

    void connect() override {}
    void disconnect() noexcept override {}
    bool connected() override { return true; }

    void changeDir(const std::string& path) override
    {
        const std::string from = current_.empty() ? std::string("/") : current_;
        current_ = gateway_.changeDir(from, path);
    }

    std::string currentDir() override { return current_; }
    std::vector<std::string> list() override { return gateway_.list(current_); }
    void remove(const std::string& name, bool isDirectory) override { gateway_.remove(current_, name, isDirectory); }
    void makeDir(const std::string& name) override { gateway_.makeDir(current_, name); }

    std::string read(const std::string& name, std::int64_t /*expectedSize*/, std::int64_t maxBytes) override
    {
        // The reply's Content-Length is the count the client holds the body to.
        return readIntoMemory(maxBytes, [&](std::ostream& out) { gateway_.download(current_, name, out); });
    }

private:
    Platform::GatewayClient gateway_;
    std::string current_;
};

} // namespace

std::unique_ptr<RemoteBrowser> makeGatewayBrowser(Platform::TIdHTTP& client, const Platform::GatewaySettings& settings)
{
    return std::make_unique<GatewayBrowser>(client, settings);
}

} // namespace Cli_Vop31600

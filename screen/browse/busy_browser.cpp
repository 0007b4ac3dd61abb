// A browser that knows when one of its calls is under way, so that nothing re-enters the client, and
// the one the screen browses with.
#include "screen/browse/remote_browser.h"

#include "screen/screen_globals.h"

#include "platform/http/gateway_client.h"

namespace Cli_Vop31600 {
namespace {

class BusyTracking final : public RemoteBrowser {
    template <typename Step>
    decltype(auto) call(Step step)
    {
        struct Depth {
            int& depth;
            explicit Depth(int& d) : depth(++d) {}
            ~Depth() { --depth; }
        } under{depth_};
        return step();
    }

public:
    explicit BusyTracking(std::unique_ptr<RemoteBrowser> inner) : inner_(std::move(inner)) {}

    void connect() override { call([&] { inner_->connect(); }); }
    void disconnect() noexcept override { inner_->disconnect(); }
    bool connected() override { return call([&] { return inner_->connected(); }); }
    TransferTls transferTls() const override { return inner_->transferTls(); }
    void changeDir(const std::string& path) override { call([&] { inner_->changeDir(path); }); }
    std::string currentDir() override { return call([&] { return inner_->currentDir(); }); }
    std::vector<std::string> list() override { return call([&] { return inner_->list(); }); }
    void remove(const std::string& name, bool isDirectory) override { call([&] { inner_->remove(name, isDirectory); }); }
    void makeDir(const std::string& name) override { call([&] { inner_->makeDir(name); }); }
    std::string read(const std::string& name, std::int64_t expectedSize, std::int64_t maxBytes) override
    {
        return call([&] { return inner_->read(name, expectedSize, maxBytes); });
    }
    bool busy() const override { return depth_ > 0; }

private:
    std::unique_ptr<RemoteBrowser> inner_;
    int depth_ = 0;
};

} // namespace

std::unique_ptr<RemoteBrowser> busyTracking(std::unique_ptr<RemoteBrowser> browser)
{
    return std::make_unique<BusyTracking>(std::move(browser));
}

std::unique_ptr<RemoteBrowser> screenBrowser(Platform::TIdFTP& ftp, Platform::TIdHTTP& http, FtpLogin login)
{
    if (boHttp)
        return busyTracking(makeGatewayBrowser(http, Platform::GatewaySettings{stConnectStr, SHttpPort, InHttpHttps}));
    return busyTracking(makeFtpBrowser(ftp, std::move(login)));
}

} // namespace Cli_Vop31600

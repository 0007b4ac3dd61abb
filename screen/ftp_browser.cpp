// Browsing over the screen's own FTP connection.
#include "screen/remote_browser.h"

#include "platform/ftp/id_ftp.h"

namespace Cli_Vop31600 {
namespace {

class FtpBrowser final : public RemoteBrowser {
public:
    FtpBrowser(Platform::TIdFTP& client, FtpLogin login) : ftp_(client), login_(std::move(login)) {}

    void connect() override
    {
        while (ftp_.Connected())
            ftp_.Disconnect();
        ftp_.Host = login_.host;
        ftp_.Username = login_.user;
        ftp_.Password = login_.password;
        ftp_.Connect();
    }

    void disconnect() noexcept override
    {
        while (ftp_.Connected())
            ftp_.Disconnect();
        ftp_.Quit();
    }

    bool connected() const override { return ftp_.Connected(); }
    void changeDir(const std::string& path) override { ftp_.ChangeDir(path); }
    std::string currentDir() override { return ftp_.RetrieveCurrentDir(); }

    std::vector<std::string> list() override
    {
        std::vector<std::string> lines;
        ftp_.List(lines);
        return lines;
    }

    void remove(const std::string& name, bool isDirectory) override
    {
        if (isDirectory)
            ftp_.RemoveDir(name);
        else
            ftp_.Delete(name);
    }

    void makeDir(const std::string& name) override { ftp_.MakeDir(name); }

private:
    Platform::TIdFTP& ftp_;
    FtpLogin login_;
};

} // namespace

std::unique_ptr<RemoteBrowser> makeFtpBrowser(Platform::TIdFTP& client, FtpLogin login)
{
    return std::make_unique<FtpBrowser>(client, std::move(login));
}

} // namespace Cli_Vop31600

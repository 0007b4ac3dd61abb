// Browsing over the screen's own FTP connection.
#include "screen/browse/remote_browser.h"

#include "screen/browse/memory_sink.h"

#include "platform/ftp/id_ftp.h"

#include <ostream>

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

    std::string read(const std::string& name, std::int64_t expectedSize, std::int64_t maxBytes) override
    {
        // A look at a file is no transfer: the lamp hears only of the connection itself.
        const auto shown = ftp_.OnStatus;
        struct Restore {
            Platform::TIdFTP& ftp;
            decltype(ftp.OnStatus) handler;
            ~Restore() { ftp.OnStatus = std::move(handler); }
        } restore{ftp_, shown};
        ftp_.OnStatus = [shown](Platform::TIdStatus status, const std::string& text) {
            if (shown && status < Platform::TIdStatus::ftpTransfer)
                shown(status, text);
        };
        MemorySink sink(maxBytes);
        std::ostream out(&sink);
        ftp_.TransferType(Platform::TIdFTPTransferType::ftBinary);
        try {
            ftp_.Get(name, out, expectedSize);
        } catch (const Platform::FtpError&) {
            if (sink.exceeded())
                throw FileTooLarge(maxBytes);
            throw;
        }
        return sink.take();
    }

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

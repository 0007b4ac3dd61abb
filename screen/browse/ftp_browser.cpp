// Browsing over the screen's own FTP connection: TLS whenever the server offers it (required once it
// was seen), the certificate judged by the screen's trust before USER and PASS, and a session the
// server closed while idle opened again on the next command.
#include "screen/browse/remote_browser.h"

#include "screen/browse/memory_sink.h"
#include "screen/trust/tls_trust.h"

#include "platform/common/protocol_log.h"
#include "platform/ftp/id_ftp.h"

#include <ostream>

namespace Cli_Vop31600 {
namespace {

class FtpBrowser final : public RemoteBrowser {
public:
    FtpBrowser(Platform::TIdFTP& client, FtpLogin login) : ftp_(client), login_(std::move(login)) {}

    void connect() override
    {
        established_ = false;
        while (ftp_.Connected())
            ftp_.Disconnect();
        const std::string server = hostPort();
        ftp_.Host = login_.host;
        ftp_.Username = login_.user;
        ftp_.Password = login_.password;
        const bool required = trust_.requiresTls(server);
        ftp_.UseTLS = required ? Platform::TIdUseTLS::utUseRequireTLS : Platform::TIdUseTLS::utUseExplicitTLS;
        ftp_.TrustedFingerprint.clear();
        ftp_.OnVerifyPeer = [this, server](const Platform::TlsCertificate& cert) { return trust_.accept(server, cert); };
        ftp_.OnLog = Platform::ProtocolLog::sink("tela " + server);
        try {
            ftp_.Connect();
        } catch (const Platform::FtpTlsRefused& refused) {
            if (!required)
                throw;
            throw Platform::FtpTlsRefused("O servidor FTP " + server
                                              + " não aceitou o TLS, mas já se conectou com TLS antes. A conexão foi "
                                                "recusada sem enviar usuário e senha: pode ser uma tentativa de "
                                                "rebaixar a segurança da conexão (" + refused.what() + ")",
                                          refused.ReplyCode());
        }
        if (ftp_.TlsInfo())
            trust_.noteTls(server);
        established_ = true;
    }

    void disconnect() noexcept override
    {
        established_ = false;
        while (ftp_.Connected())
            ftp_.Disconnect();
        ftp_.Quit();
    }

    bool connected() override
    {
        revive();
        return ftp_.Connected();
    }

    void changeDir(const std::string& path) override
    {
        revive();
        ftp_.ChangeDir(path);
    }

    std::string currentDir() override
    {
        revive();
        shown_ = ftp_.RetrieveCurrentDir();
        return shown_;
    }

    std::vector<std::string> list() override
    {
        revive();
        std::vector<std::string> lines;
        ftp_.List(lines);
        return lines;
    }

    void remove(const std::string& name, bool isDirectory) override
    {
        revive();
        if (isDirectory)
            ftp_.RemoveDir(name);
        else
            ftp_.Delete(name);
    }

    void makeDir(const std::string& name) override
    {
        revive();
        ftp_.MakeDir(name);
    }

    std::string read(const std::string& name, std::int64_t expectedSize, std::int64_t maxBytes) override
    {
        revive();
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

    TransferTls transferTls() const override
    {
        // Only a session of this screen knows how the server speaks now; otherwise the trust decides.
        if (!established_ || !ftp_.Connected())
            return {};
        const auto tls = ftp_.TlsInfo();
        if (!tls)
            return {Platform::TIdUseTLS::utNoTLSSupport, "", true};
        return {Platform::TIdUseTLS::utUseRequireTLS, tls->fingerprint, true};
    }

private:
    std::string hostPort() const { return login_.host + ":" + std::to_string(ftp_.Port); }

    // Servers end idle sessions (vsftpd: 421 after 300 s): the next command opens a new one, back in
    // the directory shown, and nothing but the lamp tells. A second failure is the command's own.
    void revive()
    {
        if (!established_ || ftp_.Connected())
            return;
        established_ = false;
        Platform::ProtocolLog::instance().write("tela " + hostPort(), Platform::ProtocolLog::Kind::Info,
                                                "O servidor encerrou a sessão: nova conexão.");
        connect();
        if (!shown_.empty())
            ftp_.ChangeDir(shown_);
    }

    Platform::TIdFTP& ftp_;
    FtpLogin login_;
    TlsTrust trust_;
    bool established_ = false;  // logged in by connect(), and not given up since
    std::string shown_;         // the directory of the last PWD
};

} // namespace

std::unique_ptr<RemoteBrowser> makeFtpBrowser(Platform::TIdFTP& client, FtpLogin login)
{
    return std::make_unique<FtpBrowser>(client, std::move(login));
}

} // namespace Cli_Vop31600

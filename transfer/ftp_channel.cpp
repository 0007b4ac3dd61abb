// The channel over one FTP connection of the worker (see TransferChannel for what each call sends).
#include "transfer/transfer_channel.h"

#include "transfer/partial_file.h"

#include "platform/common/local_file_error.h"
#include "platform/common/protocol_log.h"
#include "platform/ftp/ftp_errors.h"
#include "platform/ftp/id_ftp.h"

namespace Cli_Vop31601 {
namespace {

class FtpChannel final : public TransferChannel {
public:
    FtpChannel(FtpSide side, FtpProfile profile, std::string directory)
        : client_(side.client), handlers_(std::move(side.handlers)), profile_(std::move(profile)),
          logName_(side.logName.empty() ? "transferência " + profile_.host + ":" + std::to_string(profile_.port)
                                        : std::move(side.logName)),
          directory_(std::move(directory))
    {
    }

    void open() override
    {
        told([this] {
            logIn();
            client_->TransferType(Platform::TIdFTPTransferType::ftBinary);
        });
    }

    void enter(const std::string& directory) override
    {
        if (directory == directory_ && connected())
            return;
        told([&] {
            if (!client_)
                throw Platform::FtpConnectionLost("Sem conexão com o servidor FTP.");
            client_->ChangeDir(directory);
        });
        directory_ = directory;
    }

    std::vector<std::string> list() override
    {
        std::vector<std::string> lines;
        told([&] { client_->List(lines); });
        return lines;
    }

    void makeDir(const std::string& name) override { told([&] { client_->MakeDir(name); }); }

    std::int64_t size(const std::string& name) override { return told([&] { return client_->Size(name); }); }

    void download(const std::string& name, PartialFile& partial, std::int64_t size, std::int64_t offset) override
    {
        told([&] {
            if (offset > 0) {
                try {
                    client_->GetFrom(name, partial.path(), offset, size);
                    return;
                } catch (const Platform::FtpRestRefused&) {
                    // Refused before any data came: the whole file again.
                    if (client_->OnLog)
                        client_->OnLog(Platform::TIdLogKind::Info, "O servidor não retoma (REST): o arquivo vem de novo.");
                }
            }
            client_->Get(name, partial.path(), true, size);
        });
    }

    std::string modified(const std::string& name) override
    {
        try {
            if (client_->SendCmd("MDTM " + name, {213}) == 213)
                return client_->LastReply();
        } catch (const std::exception&) {
            // Not every server says: the size alone tells then.
        }
        return {};
    }

    void upload(const std::string& localPath, const std::string& name, std::int64_t offset) override
    {
        storeBegun_ = offset > 0;
        told([&] { client_->PutFrom(localPath, name, offset); });
        storeBegun_ = false;
    }

    bool uploadMayRemain() const override { return storeBegun_; }

    void remove(const std::string& name) override
    {
        told([&] {
            // The worker's own session is still in step after an abort; a dropped one is opened again.
            if (!connected())
                logIn();
            client_->Delete(name);
        });
    }

    void close() noexcept override
    {
        if (!client_)
            return;
        try {
            while (client_->Connected())
                client_->Disconnect();
            client_->Quit();
        } catch (...) {
        }
        client_.reset();
    }

private:
    bool connected() const { return client_ && client_->Connected(); }
    // Connect, log in and CWD, the handlers attached, without the transfer type.
    void logIn();
    // Runs one call of the client, its failure told as a TransferError.
    template <typename Call>
    auto told(Call call) -> decltype(call())
    {
        // A failure over a session that is gone, or that the server ended, may pass with a new one.
        auto kindOf = [this](int replyCode) {
            if (!connected())
                return TransferError::Kind::ConnectionLost;
            return replyCode == 550 ? TransferError::Kind::Unavailable : TransferError::Kind::Refused;
        };
        try {
            return call();
        } catch (const Platform::LocalFileError&) {
            throw;
        } catch (const Platform::FtpConnectionLost& error) {
            throw TransferError(TransferError::Kind::ConnectionLost, error.what(), error.ReplyCode());
        } catch (const Platform::FtpDataLost& error) {
            throw TransferError(connected() ? TransferError::Kind::DataLost : TransferError::Kind::ConnectionLost,
                                error.what(), error.ReplyCode());
        } catch (const Platform::FtpTimeout& error) {
            throw TransferError(TransferError::Kind::ConnectionLost, error.what());
        } catch (const Platform::FtpError& error) {
            throw TransferError(kindOf(error.ReplyCode()), error.what(), error.ReplyCode());
        } catch (const std::exception& error) {
            throw TransferError(kindOf(0), error.what());
        }
    }

    std::unique_ptr<Platform::TIdFTP>& client_;
    WorkHandlers handlers_;
    const FtpProfile profile_;
    const std::string logName_;
    std::string directory_;  // where the session works, and where a new one goes
    bool storeBegun_ = false;  // the last upload's STOR has begun and not yet ended well
};

void FtpChannel::logIn()
{
    if (!client_)
        client_ = std::make_unique<Platform::TIdFTP>();
    while (client_->Connected())
        client_->Disconnect();
    client_->Quit();
    client_->OnWork = handlers_.work;
    client_->OnWorkBegin = [this](Platform::TWorkMode mode, std::int64_t expected) {
        // A STOR that has begun may leave part of the file on the server.
        if (mode == Platform::TWorkMode::wmWrite)
            storeBegun_ = true;
        handlers_.begin(mode, expected);
    };
    client_->OnWorkEnd = handlers_.end;
    client_->OnWaiting = handlers_.waiting;
    applyFtpProfile(*client_, profile_);
    client_->OnLog = Platform::ProtocolLog::sink(logName_);
    client_->Connect();
    client_->ChangeDir(directory_);
}

} // namespace

void applyFtpProfile(Platform::TIdFTP& client, const FtpProfile& profile)
{
    client.Host = profile.host;
    client.Username = profile.user;
    client.Password = profile.password;
    client.Port = profile.port;
    client.Passive = profile.passive;
    client.UseTLS = profile.tls;
    client.TrustedFingerprint = profile.fingerprint;
}

std::unique_ptr<TransferChannel> makeFtpChannel(FtpSide side, FtpProfile profile, std::string directory)
{
    return std::make_unique<FtpChannel>(std::move(side), std::move(profile), std::move(directory));
}

} // namespace Cli_Vop31601

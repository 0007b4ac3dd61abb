#include "screen/summary/summary_connection.h"

#include "screen/browse/memory_sink.h"

#include "platform/common/protocol_log.h"
#include "platform/common/wait_hook.h"
#include "platform/ftp/ftp_errors.h"
#include "platform/http/id_http.h"

namespace Cli_Vop31600 {

std::string SummarySource::identity() const
{
    if (gateway)
        return "gateway\n" + settings.connectionString + "\n" + settings.port;
    return "ftp\n" + ftp.host + ":" + std::to_string(ftp.port) + "\n" + ftp.user;
}

SummaryConnection::SummaryConnection(SummarySource source, const std::atomic<bool>& stop)
    : source_(std::move(source)), stop_(stop)
{
}

SummaryConnection::~SummaryConnection() { close(); }

void SummaryConnection::open()
{
    try {
        if (source_.gateway) {
            http_ = std::make_unique<Platform::TIdHTTP>();
            http_->StopRequested = [this] { return stop_.load(); };
            browser_ = makeGatewayBrowser(*http_, source_.settings);
            browser_->changeDir(source_.directory);
            return;
        }
        ftp_ = std::make_unique<Platform::TIdFTP>();
        applyFtpProfile(*ftp_, source_.ftp);
        ftp_->OnLog = Platform::ProtocolLog::sink("resumo " + source_.ftp.host + ":" + std::to_string(source_.ftp.port));
        // Runs on the worker thread and serves nothing: it only lets a stop end the wait at once.
        ftp_->OnWaiting = [this] {
            if (stop_)
                throw Platform::WaitCancelled();
        };
        ftp_->Connect();
        ftp_->ChangeDir(source_.directory);
    } catch (const Platform::WaitCancelled&) {
        throw;
    } catch (const std::exception& error) {
        close();
        throw SummaryReadError(true, error.what());
    }
}

std::string SummaryConnection::read(const std::string& name, std::int64_t expectedSize, std::int64_t maxBytes)
{
    if (!ftp_ && !browser_)
        open();
    try {
        return ftp_ ? readFtpFile(*ftp_, name, expectedSize, maxBytes) : browser_->read(name, expectedSize, maxBytes);
    } catch (const FileTooLarge&) {
        throw;
    } catch (const Platform::WaitCancelled&) {
        throw;
    } catch (const Platform::HttpCancelled&) {
        throw Platform::WaitCancelled();
    } catch (const Platform::HttpError& error) {
        throw SummaryReadError(false, error.what());  // 404: the file went away; the gateway still answers
    } catch (const Platform::FtpConnectionLost& error) {
        throw SummaryReadError(true, error.what());
    } catch (const Platform::FtpTimeout& error) {
        throw SummaryReadError(true, error.what());
    } catch (const Platform::FtpError& error) {
        // A refusal (550: the file went away) or a short count over a session that still works
        // concerns this file only.
        throw SummaryReadError(!ftp_->Connected(), error.what());
    } catch (const std::exception& error) {
        throw SummaryReadError(true, error.what());
    }
}

void SummaryConnection::close() noexcept
{
    browser_.reset();
    http_.reset();
    if (ftp_) {
        ftp_->Disconnect();
        ftp_.reset();
    }
}

} // namespace Cli_Vop31600

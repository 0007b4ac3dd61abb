// The batch download: every file row shown when it started, into one folder, over one connection.
#include "transfer/transfer_worker.h"

#include "transfer/batch_report.h"
#include "transfer/local_file_error.h"
#include "transfer/partial_file.h"
#include "transfer/progress_format.h"
#include "transfer/progress_reporter.h"

#include "platform/ftp/ftp_errors.h"
#include "platform/ftp/id_ftp.h"
#include "platform/http/id_http.h"

#include <filesystem>
#include <thread>

namespace Cli_Vop31601 {
namespace {

namespace fs = std::filesystem;

const char* const batchCompleteText = "Transferência Completa (%s Arquivos, %s Bytes Recebidos em %s Segundos).";

std::string reasonOf(const std::exception& error)
{
    if (const auto* reply = dynamic_cast<const Platform::FtpError*>(&error); reply && reply->ReplyCode() == 550)
        return std::string("não encontrado ou recusado pelo servidor (") + error.what() + ")";
    if (const auto* status = dynamic_cast<const Platform::HttpError*>(&error); status && status->StatusCode() == 404)
        return "não encontrado no servidor";
    std::string text = error.what();
    if (!text.empty() && text.back() == '.')
        text.pop_back();
    return text;
}

} // namespace

bool TThrCtrlArqXMLNFe::connectionLost(const std::exception& error) const
{
    if (dynamic_cast<const LocalFileError*>(&error))
        return false;
    if (http_)
        // A reply with a status came over a working connection; anything else did not.
        return !dynamic_cast<const Platform::HttpError*>(&error);
    return dynamic_cast<const Platform::FtpConnectionLost*>(&error) || dynamic_cast<const Platform::FtpTimeout*>(&error)
        || !FtpCliente || !FtpCliente->Connected();
}

void TThrCtrlArqXMLNFe::downloadBatchFile(const BatchFile& file)
{
    const std::string target = (fs::path(folder_) / fs::path(file.name)).string();
    PartialFile partial(target);
    if (!fetchInto(file.name, partial, " na pasta escolhida"))
        return;
    ++batchWritten_;
    std::error_code ignored;
    const auto bytes = fs::file_size(target, ignored);
    batchBytes_ += ignored ? 0 : static_cast<std::int64_t>(bytes);
}

void TThrCtrlArqXMLNFe::downloadBatch()
{
    // Busy once for the whole batch: the listing reloads now and at the end, not per file.
    enterState(false, false);
    batchStart_ = std::chrono::steady_clock::now();
    InQtdArquivos = static_cast<std::int32_t>(batchFiles_.size());
    openDownloadConnection();
    bool reconnected = false;
    std::size_t i = 0;
    while (i < batchFiles_.size() && !boCancelado) {
        if (Terminated()) {
            boCancelado = true;
            break;
        }
        const BatchFile& file = batchFiles_[i];
        InArquivoAtual = static_cast<std::int32_t>(i + 1);
        if (const auto reason = unusableLocalName(file.name)) {
            batchFailures_.emplace_back(file.name, *reason);
            ++i;
            continue;
        }
        try {
            downloadBatchFile(file);
            reconnected = false;
        } catch (const Platform::HttpCancelled&) {
            boCancelado = true;
        } catch (const std::exception& error) {
            if (Terminated()) {
                boCancelado = true;
                break;
            }
            if (connectionLost(error)) {
                std::string cause = error.what();
                if (!reconnected) {
                    // Once per loss: the same file again over a new connection, after a pause that
                    // lets a restarting server come back (Abort is heard during it).
                    reconnected = true;
                    const auto resume = std::chrono::steady_clock::now() + std::chrono::seconds(2);
                    while (!Terminated() && std::chrono::steady_clock::now() < resume)
                        std::this_thread::sleep_for(std::chrono::milliseconds(50));
                    if (Terminated()) {
                        boCancelado = true;
                        break;
                    }
                    try {
                        openDownloadConnection();
                        continue;
                    } catch (const std::exception& again) {
                        cause = again.what();
                    }
                }
                for (std::size_t rest = i; rest < batchFiles_.size(); ++rest)
                    batchFailures_.emplace_back(batchFiles_[rest].name, "conexão perdida (" + cause + ")");
                break;
            }
            batchFailures_.emplace_back(file.name, reasonOf(error));
        }
        ++i;
    }
    finishBatch();
}

void TThrCtrlArqXMLNFe::finishBatch()
{
    if (boCancelado) {
        progress_->setText(batchCancelledText(messages_[3], batchWritten_));
    } else {
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - batchStart_).count();
        progress_->setText(formatMessage(batchCompleteText,
                                         {std::to_string(batchWritten_), std::to_string(batchBytes_),
                                          formatElapsed(seconds, localeTimeSeparator())}));
    }
    progress_->setPosition(0);
    progress_->publish(true);
    if (batchFailures_.empty())
        return;
    const std::string report = batchFailureReport(batchFailures_);
    Synchronize([this, &report] {
        if (TransferView* view = view_.get())
            view->reportBatchFailures(report);
    });
}

} // namespace Cli_Vop31601

// The batch download: every file row shown when it started, into one folder, over one connection.
#include "transfer/transfer_worker.h"

#include "transfer/batch_report.h"
#include "transfer/partial_file.h"
#include "transfer/progress_format.h"
#include "transfer/progress_reporter.h"
#include "transfer/transfer_channel.h"

#include "platform/common/local_file_error.h"

#include <filesystem>
#include <thread>

namespace Cli_Vop31601 {
namespace {

namespace fs = std::filesystem;

const char* const batchCompleteText = "Transferência Completa (%s Arquivos, %s Bytes Recebidos em %s Segundos).";

std::string withoutFullStop(std::string text)
{
    if (!text.empty() && text.back() == '.')
        text.pop_back();
    return text;
}

// A file's line in the closing report.
std::string reasonOf(const TransferError& error)
{
    switch (error.kind()) {
    case TransferError::Kind::Unavailable:
        return std::string("não encontrado ou recusado pelo servidor (") + error.what() + ")";
    case TransferError::Kind::NotFound:
        return "não encontrado no servidor";
    default:
        return withoutFullStop(error.what());
    }
}

} // namespace

void TThrCtrlArqXMLNFe::downloadBatchFile(const BatchFile& file)
{
    const std::string target = (fs::path(job_.folder) / fs::path(file.name)).string();
    PartialFile partial(target, "na pasta escolhida");
    if (!fetchInto(file.name, partial))
        return;
    ++batchWritten_;
    std::error_code ignored;
    const auto bytes = fs::file_size(target, ignored);
    batchBytes_ += ignored ? 0 : static_cast<std::int64_t>(bytes);
}

bool TThrCtrlArqXMLNFe::pauseForServer()
{
    const auto resume = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!Terminated() && std::chrono::steady_clock::now() < resume)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return !Terminated();
}

void TThrCtrlArqXMLNFe::downloadBatch()
{
    // Busy once for the whole batch: the listing reloads now and at the end, not per file.
    enterState(false, false);
    batchStart_ = std::chrono::steady_clock::now();
    const std::vector<BatchFile>& files = job_.batchFiles;
    InQtdArquivos = static_cast<std::int32_t>(files.size());
    ConnectaFTP();
    bool reconnected = false;
    std::size_t i = 0;
    while (i < files.size() && !boCancelado) {
        if (Terminated()) {
            boCancelado = true;
            break;
        }
        const BatchFile& file = files[i];
        InArquivoAtual = static_cast<std::int32_t>(i + 1);
        if (const auto reason = unusableLocalName(file.name)) {
            batchFailures_.emplace_back(file.name, *reason);
            ++i;
            continue;
        }
        try {
            downloadBatchFile(file);
            reconnected = false;
        } catch (const TransferError& error) {
            if (error.kind() == TransferError::Kind::Cancelled) {
                boCancelado = true;
            } else if (Terminated()) {
                boCancelado = true;
                break;
            } else if (error.kind() != TransferError::Kind::ConnectionLost) {
                batchFailures_.emplace_back(file.name, reasonOf(error));
            } else {
                std::string cause = error.what();
                if (!reconnected) {
                    // Once per loss: the same file again over a new connection, after a pause that
                    // lets a restarting server come back (Abort is heard during it).
                    reconnected = true;
                    if (!pauseForServer()) {
                        boCancelado = true;
                        break;
                    }
                    try {
                        ConnectaFTP();
                        continue;
                    } catch (const std::exception& again) {
                        cause = again.what();
                    }
                }
                for (std::size_t rest = i; rest < files.size(); ++rest)
                    batchFailures_.emplace_back(files[rest].name, "conexão perdida (" + cause + ")");
                break;
            }
        } catch (const Platform::LocalFileError& error) {
            if (Terminated()) {
                boCancelado = true;
                break;
            }
            // The file could not be written here or put in place: the connection is not to blame.
            batchFailures_.emplace_back(file.name, withoutFullStop(error.what()));
        }
        ++i;
    }
    finishBatch();
}

void TThrCtrlArqXMLNFe::finishBatch()
{
    if (boCancelado) {
        progress_->setText(batchCancelledText(job_.messages[3], batchWritten_));
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

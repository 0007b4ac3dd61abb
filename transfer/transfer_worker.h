#pragma once

#include "platform/common/thread.h"
#include "transfer/resuming_transfer.h"
#include "transfer/transfer_crew.h"
#include "transfer/transfer_job.h"
#include "transfer/transfer_view.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace Platform {
class TIdFTP;
class TIdHTTP;
enum class TWorkMode;
} // namespace Platform

namespace Cli_Vop31601 {

class PartialFile;
class ProgressReporter;
class TransferChannel;

// One transfer job on its own thread: the download of the current row's file or the upload of the
// open dialog's selection, over its own FTP connection or through the HTTP gateway. The screen is
// reached only through its view, on the GUI thread (Synchronize), and is kept alive until the
// worker ends.
class TThrCtrlArqXMLNFe : public Platform::TThread {
public:
    static std::shared_ptr<TThrCtrlArqXMLNFe> Create(TransferJob job, ViewHandle view);
    ~TThrCtrlArqXMLNFe() override;

    // Opens the job's channel: a fresh FTP session on the shown directory, or a new gateway client.
    void ConnectaFTP();
    void UpdateControlaComponentes();

    void IdFTPWorkBegin(Platform::TWorkMode mode, std::int64_t expected);
    void _IdFTPWork(Platform::TWorkMode mode, std::int64_t count);
    void IdFTPWorkEnd(Platform::TWorkMode mode);
    void _IdHttpWorkBegin(Platform::TWorkMode mode, std::int64_t expected);
    void _IdHTTPWork(Platform::TWorkMode mode, std::int64_t count);
    void _IdHttpPWorkEnd(Platform::TWorkMode mode);

    std::int32_t InOperacao = 0;
    std::int32_t InQtdArquivos = 0;
    std::int32_t InArquivoAtual = 0;
    bool boHabilitar = false;
    bool boCancelado = false;
    bool boParado = false;
    std::int64_t InTamanho = 0;
    std::chrono::steady_clock::time_point DtInicio;
    std::unique_ptr<Platform::TIdFTP> FtpCliente;
    std::unique_ptr<Platform::TIdHTTP> HttpCliente;

protected:
    void Execute() override;

private:
    TThrCtrlArqXMLNFe(TransferJob job, ViewHandle view);

    bool viewAlive();
    // The jobs over the job's connections (transfer/crew_jobs.cpp): the batch download, the rows
    // shown with the directories among them walked, and the folder upload.
    void downloadBatch();
    void uploadFolder();
    TransferCrew::Plan crewPlan();
    // How a job over several connections ended, for its closing text.
    struct CrewOutcome {
        const char* completeText;
        const char* action;  // the report's verb: "baixar", "enviar"
        int written;
        std::int64_t bytes;
        int kept;
        std::chrono::steady_clock::time_point start;
    };
    void finishCrew(const TransferCrew& crew, const CrewOutcome& outcome);
    bool chooseDownloadTarget();
    void download();
    // Fetches one remote name over the open channel into partial (its size first, then the data)
    // and commits it unless the transfer was cancelled. Returns whether it committed. Throws what the
    // channel throws, and Platform::LocalFileError when the file cannot be put in place.
    bool fetchInto(const std::string& remoteName, PartialFile& partial);
    // How the single transfers go on after a lost connection (transfer/resuming_transfer.h).
    ResumeContext resumeContext();
    void logResume(const std::string& text) const;
    void upload();
    void cleanUp();
    void removePartialUpload();
    void enterState(bool enable, bool idle);
    // Busy without a reload of the listing.
    void enterBusyState();
    void reportFailure(const std::string& cause);
    void workBegin(std::int64_t expected);
    bool workProgress(Platform::TWorkMode mode, std::int64_t count);
    void workEnd(Platform::TWorkMode mode);

    // The job, as the screen gave it when the transfer started.
    const TransferJob job_;
    ViewHandle view_;
    std::unique_ptr<ProgressReporter> progress_;
    // The one connection of the job, FTP or gateway as its profile says; its client lives in
    // FtpCliente or HttpCliente.
    std::unique_ptr<TransferChannel> channel_;

    std::string localPath_;          // the single download's target, as the save dialog gave it
    std::int64_t transferBytes_ = 0;  // the byte count the completion text reports
    std::int64_t carried_ = 0;        // bytes the FTP transfer has carried so far
    bool failed_ = false;
    std::string failure_;
};

} // namespace Cli_Vop31601

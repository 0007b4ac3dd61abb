#pragma once

#include "platform/common/thread.h"
#include "transfer/transfer_job.h"
#include "transfer/transfer_view.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
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

// One transfer job on its own thread: the download of the current row's file or the upload of the
// open dialog's selection, over its own FTP connection or through the HTTP gateway. The screen is
// reached only through its view, on the GUI thread (Synchronize), and is kept alive until the
// worker ends.
class TThrCtrlArqXMLNFe : public Platform::TThread {
public:
    static std::shared_ptr<TThrCtrlArqXMLNFe> Create(TransferJob job, ViewHandle view);
    ~TThrCtrlArqXMLNFe() override;

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
    // The batch download (transfer/batch_download.cpp): every file over one connection, a failed
    // file noted and passed over, a lost connection opened again once.
    void downloadBatch();
    void downloadBatchFile(const BatchFile& file);
    bool connectionLost(const std::exception& error) const;
    void finishBatch();
    bool chooseDownloadTarget();
    bool chooseUploadFiles();
    // Opens the job's connection, binary over FTP.
    void openDownloadConnection();
    void download();
    // Fetches one remote name over the open connection into partial (FTP: SIZE, then RETR of that
    // size; gateway: GET of the file endpoint) and commits it unless the transfer was cancelled.
    // Returns whether it committed. `place` ends the local error texts (" /path" or " na pasta
    // escolhida"). Throws Platform::FtpError (and its kinds), Platform::HttpError, HttpCancelled,
    // LocalFileError when the partial file cannot be created, written or put in place.
    bool fetchInto(const std::string& remoteName, PartialFile& partial, const std::string& place);
    void uploadFtp();
    void uploadGateway();
    void cleanUp();
    void removePartialUpload();
    void enterState(bool enable, bool idle);
    void reportFailure(const std::string& cause);
    // A gateway request on the shown directory for one remote name (plus any further arguments).
    std::string gatewayUrl(const std::string& endpoint, const std::string& name,
                           std::vector<std::pair<std::string, std::string>> extra = {}) const;
    void workBegin(std::int64_t expected);
    bool workProgress(Platform::TWorkMode mode, std::int64_t count);
    void workEnd(Platform::TWorkMode mode);

    ViewHandle view_;
    std::unique_ptr<ProgressReporter> progress_;

    // The job, as the screen gave it when the transfer started.
    bool http_ = false;
    bool isDirectory_ = false;
    bool hasRow_ = false;
    std::string remoteName_;
    std::string directory_;
    std::string host_, user_, password_;
    std::string connectStr_, httpPort_;
    int httpsFlag_ = 0;
    std::string localPath_;
    std::vector<std::string> files_;
    // The file being sent must go from the server at clean-up: over FTP once its STOR began, over
    // the gateway only when it arrived whole after a cancel.
    bool uploadToRemove_ = false;
    std::int64_t transferBytes_ = 0;  // the byte count the completion text reports
    std::int64_t carried_ = 0;        // bytes the FTP transfer has carried so far
    bool failed_ = false;
    std::string failure_;
    std::array<std::string, 5> messages_;

    bool batch_ = false;
    std::vector<BatchFile> batchFiles_;
    std::string folder_;
    std::string batchProgressText_;
    std::vector<std::pair<std::string, std::string>> batchFailures_;  // name, reason
    std::int32_t batchWritten_ = 0;
    std::int64_t batchBytes_ = 0;
    std::chrono::steady_clock::time_point batchStart_;  // VEL_DOWNLOAD, VEL_UPLOAD, TRANSF_COMPLETA, TRANSF_CANCELADA, TRANSF_FALHOU
};

} // namespace Cli_Vop31601

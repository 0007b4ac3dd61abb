#pragma once

#include "transfer/transfer_job.h"
#include "transfer/transfer_view.h"

#include <QPointer>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Platform {
class FramePacer;
}
namespace Cli_Vop31601 {
class TThrCtrlArqXMLNFe;
}

namespace Cli_Vop31600 {

class TfrmCtrlArqXMLNFe;

// The screen's side of a transfer: the job it hands the worker, the view the worker reports to, and
// the screen's one transfer from its start until the worker's final notification.
class TransferLink : public Cli_Vop31601::TransferView {
public:
    // release: frees the screen, which a close during a transfer leaves to the worker's end.
    TransferLink(TfrmCtrlArqXMLNFe& form, std::function<void()> release);
    TransferLink(const TransferLink&) = delete;
    TransferLink& operator=(const TransferLink&) = delete;

    // The job of the button with that tag (0 downloads the current row, 1 uploads the open dialog's
    // selection) as the screen's one transfer; while one runs, refused with a message.
    void start(int tag);
    // Every row shown, the directories walked, into one folder (screen/transfer/batch_download.cpp).
    void startBatch();
    // How a connection of the screen's own, apart from its session (the worker's, the summary's),
    // logs in to the FTP server: the settings' login, and the mode and TLS the session found.
    Cli_Vop31601::FtpProfile ftpProfile() const;
    // A local folder rebuilt inside the shown directory (screen/transfer/folder_upload.cpp).
    void startFolderUpload();
    // While a transfer runs: says so and returns true.
    bool refuseSecond();
    // From a transfer's start until its final notification.
    bool active() const { return active_; }
    bool running() const;
    // Asks the running worker to stop; it is not waited for.
    void terminate();
    // A closed screen waits for a running worker: true when one runs, and the release then comes at
    // its end.
    bool releaseWhenEnded();

    std::optional<std::string> chooseSaveTarget(const std::string& offeredName) override;
    void enterTransferState(bool enable, bool idle) override;
    void enterBusyState() override;
    void showProgress(const Cli_Vop31601::ProgressUpdate& update) override;
    void reportBatchFailures(const std::string& text) override;
    void transferEnded() override;

private:
    Cli_Vop31601::TransferJob job(int tag) const;
    // The question when some rows are already in the folder; nothing when cancelled.
    std::optional<Cli_Vop31601::ExistingFiles> askAboutExisting(const std::vector<Cli_Vop31601::BatchFile>& rows,
                                                               const std::string& folder) const;
    void run(Cli_Vop31601::TransferJob job);

    TfrmCtrlArqXMLNFe& form_;
    std::function<void()> release_;
    std::weak_ptr<Cli_Vop31601::TThrCtrlArqXMLNFe> ThrTransfer;  // the worker started last; it owns itself
    bool active_ = false;
    bool releaseWhenIdle_ = false;
    // Paces the window's repaints to one a frame while a transfer reloads the listing after every
    // file; a child of the form, watching the top-level window the form is in at the transfer's start.
    QPointer<Platform::FramePacer> framePacer_;
    std::string batchFolder_;   // the folder the last batch went to, offered again
    std::string uploadFolder_;  // the folder sent last, offered again
};

} // namespace Cli_Vop31600

#pragma once

#include "mrv/file_dialogs.h"
#include "mrv/rotigeral.h"
#include "platform/common/wait_hook.h"
#include "platform/dataset/client_dataset.h"
#include "platform/widgets/frame_pacer.h"
#include "transfer/transfer_job.h"
#include "transfer/transfer_view.h"

#include <QPixmap>
#include <QPointer>
#include <QVariantMap>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QFrame;
class QLineEdit;
class QMenu;
class QTableView;

namespace Mrv {
class TNetConnection;
}
namespace Platform {
class DataSetModel;
class DataSetGridLink;
class TIdFTP;
class TIdHTTP;
class TStatusBar;
class TProgressBar;
enum class TIdStatus;
} // namespace Platform

namespace Cli_Vop31601 {
class TThrCtrlArqXMLNFe;
} // namespace Cli_Vop31601

namespace Cli_Vop31600 {

class NfeDetails;
class FindBar;
class RemoteBrowser;

// The screen "Controle de Arquivos XML da NF-e": a remote file manager over the company's FTP store
// (or the HTTP gateway), one directory at a time.
class TfrmCtrlArqXMLNFe : public Mrv::TfrmRotiGeral, public Cli_Vop31601::TransferView {
    Q_OBJECT
public:
    explicit TfrmCtrlArqXMLNFe(QWidget* owner = nullptr);
    ~TfrmCtrlArqXMLNFe() override;

    // --- components -------------------------------------------------------------------------
    QFrame* panDiretorio = nullptr;
    Mrv::TButtonFlat* btnHome = nullptr;
    Mrv::TButtonFlat* btnNivelAcima = nullptr;
    QLineEdit* edtDiretorio = nullptr;
    Mrv::TButtonFlat* btnAtualizar = nullptr;
    Mrv::TButtonFlat* btnAbortar = nullptr;
    Mrv::TButtonFlat* btnUpload = nullptr;
    Mrv::TButtonFlat* btnNovoDir = nullptr;
    Mrv::TButtonFlat* btnExcluir = nullptr;
    QTableView* dbgArquivos = nullptr;
    FindBar* panLocalizar = nullptr;  // the find bar, hidden until Ctrl+F
    Platform::TStatusBar* StatusBar = nullptr;
    Platform::TProgressBar* ProgressBar = nullptr;
    std::array<QPixmap, 2> ImageList;

    QAction* actHome = nullptr;
    QAction* actNivelAcima = nullptr;
    QAction* actAtualizar = nullptr;
    QAction* actConfirma = nullptr;
    QAction* actAbortar = nullptr;
    QAction* actUpload = nullptr;
    QAction* actExcluir = nullptr;
    QAction* actNovoDir = nullptr;
    QAction* actLocalizar = nullptr;
    QAction* actBaixarListados = nullptr;

    Platform::TClientDataSet cdsArquivos;
    Platform::TField* cdsArquivosDSDTHRMODIFICACAO = nullptr;
    Platform::TField* cdsArquivosDSTIPO = nullptr;
    Platform::TField* cdsArquivosBOISDIRECTORY = nullptr;
    Platform::TField* cdsArquivosDSNOME = nullptr;
    Platform::TField* cdsArquivosIDARQUIVO = nullptr;
    Platform::TField* cdsArquivosFLTAMANHO = nullptr;
    Platform::DataSetGridLink* dtsArquivos = nullptr;  // owned by the grid, owns the grid's model

    Mrv::TSaveDialog* savDownload = nullptr;
    Mrv::TOpenDialog* opdUpload = nullptr;
    Mrv::TNetConnection* netCtrlArqXMLNFe = nullptr;
    std::unique_ptr<Platform::TIdFTP> IdFTP;
    std::unique_ptr<Platform::TIdHTTP> IdHTTP;

    // --- handlers and methods ---------------------------------------------------------------
    void FormCreate(QObject* sender) override;
    void FormShow(QObject* sender);
    void FormClose(QObject* sender, Mrv::TCloseAction& action) override;
    void netCtrlArqXMLNFeBeforeConnect(QObject* sender);

    void DadosFTP();

    void DadosLine(const std::string& line, std::string& modification, std::string& kind, bool& isDirectory,
                   std::string& sizeText, std::string& name) const;
    void CarregaGrid(const std::vector<std::string>& lines);
    std::string ConvertBytes(std::int64_t bytes) const;
    void cdsArquivosFLTAMANHOGetText(const Platform::TField& sender, std::string& text, bool displayText) const;

    void ChangeDir(const std::string& path);
    void AtualizaFTP();
    void btnHomeClick(QObject* sender);
    void btnNivelAcimaClick(QObject* sender);
    void btnAtualizarClick(QObject* sender);
    void dbgArquivosDblClick(QObject* sender);
    void dbgArquivosTitleClick(const std::string& fieldName);
    void cdsArquivosAfterScroll(Platform::TClientDataSet& dataSet);
    void IdFTPStatus(QObject* sender, Platform::TIdStatus status, const std::string& statusText);

    void sbtConfirmaClick(QObject* sender);
    void btnUploadClick(QObject* sender);
    void btnExcluirClick(QObject* sender);
    void btnNovoDirClick(QObject* sender);
    // Ctrl+F: the find bar. Ctrl+Shift+D (and the grid's menu): every file row shown, into one folder.
    void actLocalizarExecute(QObject* sender);
    void actBaixarListadosExecute(QObject* sender);
    // The grid's context menu, built afresh each time it opens: one line per entry.
    void buildGridMenu(QMenu& menu);

    void ControlaComponentes(bool enable, bool idle);
    void btnAbortarClick(QObject* sender);
    void StatusBarDrawPanel(QPainter& canvas, const QRect& rect);

    // --- state the worker and the script driver read ----------------------------------------
    const std::string& ftpHost() const { return SFtpHosAddr; }
    const std::string& ftpUser() const { return SFtpUserId; }
    const std::string& ftpPassword() const { return SFtpPassword; }
    bool habilitado() const { return boHabilitado; }
    bool processoParado() const { return boProcessoParado; }

    Q_INVOKABLE QVariantMap scriptState() const;
    Q_INVOKABLE bool transferRunning() const;
    // What the "Detalhes da NF-e" window shows (null while it is closed).
    Q_INVOKABLE QVariant detailsState() const;

    // --- the view the transfer worker reports to --------------------------------------------
    std::optional<std::string> chooseSaveTarget(const std::string& offeredName) override;
    void enterTransferState(bool enable, bool idle) override;
    void showProgress(const Cli_Vop31601::ProgressUpdate& update) override;
    void reportBatchFailures(const std::string& text) override;
    // The worker's end lets a closed screen be released.
    void transferEnded() override;
    bool closing() const { return releaseWhenIdle_; }
    // True while one of the screen's own clients waits for a reply and events are served meanwhile.
    bool clientWaiting() const { return clientWaits_ > 0; }

    // Shows the new screen and runs its show handler once (part of its creation).
    void showDesigned();

protected:
    void Release() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildDesign();
    void buildCommandButtons();
    void buildActions();
    void bindHandlers();
    void installGridMenu();
    void startTransfer(int tag);
    Cli_Vop31601::TransferJob transferJob(int tag) const;
    // After the worker's final reload: paints go out as they come again.
    void stopPacingFrames();
    // Starts a prepared job as the screen's one transfer.
    void runTransfer(Cli_Vop31601::TransferJob job);
    bool refuseSecondTransfer();
    void enterUnavailable(const std::exception& error);
    // FTP or the gateway, as the settings decide once they arrive.
    void chooseBrowser();

    // Waiting without freezing (client_wait.cpp): the screen's own clients serve paint and timer
    // events while they wait; a close meanwhile ends the wait and is carried out after it.
    void installWaitHooks();
    void serveWhileWaiting();
    Platform::WaitHook waitHook();
    bool refuseCloseDuringWait();
    // Runs a handler as the application does, silent about a wait that the screen's close ended.
    void runGuarded(const std::function<void()>& handler);
    void reportUnlessClosing(const std::exception& error);

    int InImagemConexao = 0;
    std::weak_ptr<Cli_Vop31601::TThrCtrlArqXMLNFe> ThrTransfer;  // the worker owns itself
    std::string SFtpHosAddr;
    std::string SFtpUserId;
    std::string SFtpPassword;
    std::string SOrganizacao;
    std::string SDirHome;
    bool boHabilitado = false;
    bool boProcessoParado = false;

    bool shown_ = false;
    bool transferActive_ = false;  // from a transfer's start until its final notification
    bool releaseWhenIdle_ = false;
    std::unique_ptr<RemoteBrowser> browser_;
    NfeDetails* details_ = nullptr;   // a child of the form
    // Paces the window's repaints to one a frame while a transfer reloads the listing after every
    // file; a child of the form, watching the top-level window the form is in at the transfer's start.
    QPointer<Platform::FramePacer> framePacer_;
    int clientWaits_ = 0;             // nested event serving inside the screen's clients' waits
    bool closeDuringWait_ = false;    // a close came during a wait: every wait ends until it is done
    std::string batchFolder_;  // the folder the last batch went to, offered again
};

// Opens the screen, or raises the one already open.
__attribute__((visibility("default"))) void CriaCtrlArqXMLNFe();

} // namespace Cli_Vop31600

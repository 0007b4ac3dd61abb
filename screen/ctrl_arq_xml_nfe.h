#pragma once

#include "screen/script_state.h"
#include "screen/transfer/transfer_link.h"
#include "screen/wait/client_wait.h"

#include "mrv/file_dialogs.h"
#include "mrv/rotigeral.h"
#include "platform/dataset/client_dataset.h"

#include <QPixmap>

#include <array>
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

namespace Cli_Vop31600 {

class FolderUploadCommand;
class NfeDetails;
class ProtocolLogView;
class FindBar;
class RemoteBrowser;
class SummaryControl;

// The screen "Controle de Arquivos XML da NF-e": a remote file manager over the company's FTP store
// (or the HTTP gateway), one directory at a time.
class TfrmCtrlArqXMLNFe : public Mrv::TfrmRotiGeral {
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
    QAction* actResumo = nullptr;

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

    // The screen's parts: waiting without freezing, its side of a transfer, and its state for the
    // host's script driver.
    ClientWait clientWait;
    TransferLink transferLink;
    ScreenScripting scripting;

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
    // Ctrl+R (and the grid's menu): "Resumo do diretório" over the XML files shown.
    void actResumoExecute(QObject* sender);
    // The grid's context menu, built afresh each time it opens: one line per entry.
    void buildGridMenu(QMenu& menu);

    void ControlaComponentes(bool enable, bool idle);
    void btnAbortarClick(QObject* sender);
    void StatusBarDrawPanel(QPainter& canvas, const QRect& rect);

    // Whether the transfer worker still runs.
    bool transferRunning() const;

    // Shows the new screen and runs its show handler once (part of its creation).
    void showDesigned();

protected:
    void Release() override;

private:
    // The parts split out of the form read its private state.
    friend class TransferLink;
    friend class ScreenScripting;

    int InImagemConexao = 0;
    std::string SFtpHosAddr;
    std::string SFtpUserId;
    std::string SFtpPassword;
    std::string SOrganizacao;
    std::string SDirHome;
    bool boHabilitado = false;
    bool boProcessoParado = false;

    bool shown_ = false;
    // FTP or the gateway, as the settings decide once they arrive.
    std::unique_ptr<RemoteBrowser> browser_;
    NfeDetails* details_ = nullptr;  // a child of the form
    ProtocolLogView* protocolLog_ = nullptr;  // Ctrl+L; a child of the form
    SummaryControl* summary_ = nullptr;  // Ctrl+R; a child of the form
    FolderUploadCommand* folderUpload_ = nullptr;  // Ctrl+Shift+U; a child of the form
};

// Opens the screen, or raises the one already open.
__attribute__((visibility("default"))) void CriaCtrlArqXMLNFe();

} // namespace Cli_Vop31600

#include "screen/ctrl_arq_xml_nfe.h"

#include "screen/browse/remote_browser.h"
#include "screen/design/screen_design.h"
#include "screen/details/nfe_details.h"
#include "screen/log/protocol_log_view.h"
#include "screen/summary/summary_control.h"
#include "screen/transfer/folder_upload.h"
#include "screen/screen_globals.h"

#include "mrv/application.h"
#include "mrv/net_connection.h"
#include "mrv/quelbar.h"
#include "platform/ftp/id_ftp.h"
#include "platform/http/id_http.h"
#include "platform/widgets/progress_bar.h"
#include "platform/widgets/status_bar.h"

#include <QMdiArea>
#include <QMdiSubWindow>

namespace Cli_Vop31600 {

TfrmCtrlArqXMLNFe::TfrmCtrlArqXMLNFe(QWidget* owner)
    : TfrmRotiGeral(owner), clientWait(*this), transferLink(*this, [this] { TfrmRotiGeral::Release(); }),
      scripting(*this)
{
    // The module global names the screen before its own handlers run.
    frmCtrlArqXMLNFe = this;
    designScreen(*this);
    browser_ = screenBrowser(*IdFTP, *IdHTTP, {SFtpHosAddr, SFtpUserId, SFtpPassword});
    bindScreen(*this);
    details_ = new NfeDetails(*this, [this] { return browser_.get(); });
    protocolLog_ = new ProtocolLogView(*this);
    summary_ = new SummaryControl(*this);
    folderUpload_ = new FolderUploadCommand(*this);
    IdFTP->OnWaiting = clientWait.hook();
    IdHTTP->OnWaiting = clientWait.hook();
    netCtrlArqXMLNFe->OnWaiting = clientWait.hook();
    // On screen before the first request: the host paints it while the server is awaited.
    placeInMdiArea();
    if (subWindow())
        subWindow()->show();
    clientWait.runGuarded([this] { FormCreate(this); });
}

TfrmCtrlArqXMLNFe::~TfrmCtrlArqXMLNFe()
{
    if (frmCtrlArqXMLNFe == this)
        frmCtrlArqXMLNFe = nullptr;
}

void TfrmCtrlArqXMLNFe::FormCreate(QObject* sender)
{
    TfrmRotiGeral::FormCreate(sender);
    netCtrlArqXMLNFe->SetConnected(true);
}

void TfrmCtrlArqXMLNFe::netCtrlArqXMLNFeBeforeConnect(QObject* /*sender*/)
{
    netCtrlArqXMLNFe->Host = Quelbar::WebURL();
    netCtrlArqXMLNFe->Port = Quelbar::WebPort();
}

void TfrmCtrlArqXMLNFe::showDesigned()
{
    // The screen is designed visible: showing it is part of its creation, and the show handler
    // runs once, right there, whether or not the host's window is on screen yet.
    if (subWindow())
        subWindow()->show();
    else
        show();
    if (shown_)
        return;
    shown_ = true;
    clientWait.runGuarded([this] { FormShow(this); });
}

void TfrmCtrlArqXMLNFe::FormShow(QObject* /*sender*/)
{
    ControlaComponentes(true, true);
    DadosFTP();
    AtualizaFTP();
    ChangeDir(SDirHome);
    // The progress bar moves into the first status panel, which it then covers.
    ProgressBar->setParent(StatusBar);
    ProgressBar->move(1, 2);
    ProgressBar->show();
}

void TfrmCtrlArqXMLNFe::FormClose(QObject* sender, Mrv::TCloseAction& action)
{
    if (clientWait.refuseClose())
        throw Mrv::EAbort();
    // The worker's own flag decides, not boProcessoParado alone: a failed reload during a transfer
    // records "idle" although the worker still runs.
    if (!boProcessoParado || transferRunning()) {
        if (msgPadrao->ShowMsg("PROCESSO_RODANDO", Mrv::DialogType::Confirmation, 0)
            != static_cast<int>(Mrv::ModalResult::Yes))
            throw Mrv::EAbort();
        transferLink.terminate();
    }
    summary_->stop();
    browser_->disconnect();
    while (netCtrlArqXMLNFe->Connected())
        netCtrlArqXMLNFe->SetConnected(false);
    boStCriado = false;
    TfrmRotiGeral::FormClose(sender, action);
}

void TfrmCtrlArqXMLNFe::Release()
{
    // A worker told to stop may still be finishing: the screen stays alive (hidden) until it ends.
    if (transferLink.releaseWhenEnded()) {
        if (subWindow())
            subWindow()->hide();
        return;
    }
    TfrmRotiGeral::Release();
}

bool TfrmCtrlArqXMLNFe::transferRunning() const { return transferLink.running(); }

void CriaCtrlArqXMLNFe()
{
    auto& app = Mrv::Application::instance();
    app.setCursor(Mrv::crHourGlass);
    if (!boStCriado) {
        try {
            new TfrmCtrlArqXMLNFe(static_cast<QWidget*>(app.mdiArea()));  // owned by the MDI area (the application's window)
        } catch (...) {
            frmCtrlArqXMLNFe = nullptr;
            throw;
        }
        if (frmCtrlArqXMLNFe)
            frmCtrlArqXMLNFe->showDesigned();
        boStCriado = true;
    }
    if (frmCtrlArqXMLNFe) {
        QWidget* window = frmCtrlArqXMLNFe->subWindow() ? static_cast<QWidget*>(frmCtrlArqXMLNFe->subWindow())
                                                        : static_cast<QWidget*>(frmCtrlArqXMLNFe);
        window->showNormal();
        window->raise();
        window->activateWindow();
        if (auto* sub = frmCtrlArqXMLNFe->subWindow(); sub && sub->mdiArea())
            sub->mdiArea()->setActiveSubWindow(sub);
        frmCtrlArqXMLNFe->setFocus();
    }
    app.setCursor(Mrv::crDefault);
}

} // namespace Cli_Vop31600

// Browsing the remote tree over the screen's own FTP connection (or the HTTP gateway), refresh,
// sorting and the row rule.
#include "screen/ctrl_arq_xml_nfe.h"

#include "screen/listing_parser.h"
#include "screen/details/nfe_details.h"
#include "screen/browse/remote_browser.h"

#include "mrv/consiste.h"
#include "mrv/prompts.h"
#include "platform/ftp/id_ftp.h"
#include "platform/widgets/status_bar.h"

#include <QLineEdit>
#include <QTableView>

namespace Cli_Vop31600 {
namespace {

void enterUnavailable(TfrmCtrlArqXMLNFe& form, const std::exception& error)
{
    form.ControlaComponentes(false, true);
    form.btnAbortar->setEnabled(form.transferLink.active());
    form.clientWait.reportUnlessClosing(error);
}

} // namespace

void TfrmCtrlArqXMLNFe::ChangeDir(const std::string& path)
{
    try {
        // A session the server closed while idle is opened again here; a failure to is reported.
        if (!browser_->connected())
            return;
        browser_->changeDir(path);
        btnNivelAcima->setEnabled(boHabilitado && browser_->currentDir() != SDirHome);
        sbtConfirma->setEnabled(false);
        edtDiretorio->setText(QString::fromStdString(browser_->currentDir()));
        if (Consiste::EmptyString(browser_->currentDir())) {
            Mrv::prompts().inform(windowTitle().toStdString(), "IdFTP.RetrieveCurrentDir");
            ControlaComponentes(false, true);
        }
        CarregaGrid(browser_->list());
    } catch (const std::exception& error) {
        enterUnavailable(*this, error);
    }
}

void TfrmCtrlArqXMLNFe::AtualizaFTP()
{
    try {
        browser_->connect();
    } catch (const std::exception& error) {
        enterUnavailable(*this, error);
    }
}

void TfrmCtrlArqXMLNFe::btnHomeClick(QObject* /*sender*/) { ChangeDir(SDirHome); }

void TfrmCtrlArqXMLNFe::btnNivelAcimaClick(QObject* /*sender*/)
{
    if (edtDiretorio->text().toStdString() != SDirHome)
        ChangeDir("..");
}

void TfrmCtrlArqXMLNFe::btnAtualizarClick(QObject* /*sender*/)
{
    const std::string shown = edtDiretorio->text().toStdString();
    AtualizaFTP();
    ChangeDir(shown);
}

void TfrmCtrlArqXMLNFe::dbgArquivosDblClick(QObject* /*sender*/)
{
    if (cdsArquivos.IsEmpty())
        return;
    if (cdsArquivosBOISDIRECTORY->AsBoolean()) {
        ChangeDir(cdsArquivosDSNOME->AsString());
        return;
    }
    transferLink.start(0);
}

void TfrmCtrlArqXMLNFe::dbgArquivosTitleClick(const std::string& fieldName)
{
    toggleSortIndex(cdsArquivos, fieldName);
}

void TfrmCtrlArqXMLNFe::cdsArquivosAfterScroll(Platform::TClientDataSet& /*dataSet*/)
{
    // While a transfer runs, neither a second download nor a delete may start from the grid.
    const RowCommands commands = transferLink.active() ? RowCommands{} : rowCommandsFor(cdsArquivos);
    btnExcluir->setEnabled(commands.deleteEnabled);
    sbtConfirma->setEnabled(commands.downloadEnabled);
    if (details_)
        details_->rowChanged();
}

void TfrmCtrlArqXMLNFe::IdFTPStatus(QObject* /*sender*/, Platform::TIdStatus status, const std::string& /*statusText*/)
{
    InImagemConexao = status == Platform::TIdStatus::hsConnected ? 1 : 0;
    StatusBar->RepaintPanels();
}

} // namespace Cli_Vop31600

// Browsing the remote tree over the screen's own FTP connection (or the HTTP gateway), refresh,
// sorting and the row rule.
#include "screen/ctrl_arq_xml_nfe.h"

#include "package/module_globals.h"
#include "screen/listing_parser.h"
#include "transfer/ThrCtrlArqXMLNFe.h"

#include "mrv/consiste.h"
#include "mrv/prompts.h"
#include "platform/id_ftp.h"
#include "platform/status_bar.h"

#include <QLineEdit>
#include <QTableView>

namespace Cli_Vop31600 {

void TfrmCtrlArqXMLNFe::enterUnavailable(const std::exception& error)
{
    ControlaComponentes(false, true);
    btnAbortar->setEnabled(transferActive_);
    Consiste::MensErro(error);
}

void TfrmCtrlArqXMLNFe::ChangeDir(const std::string& path)
{
    if (boHttp) {
        changeDirHttp(path);
        return;
    }
    if (!IdFTP->Connected())
        return;
    changeDirFtp(path);
}

void TfrmCtrlArqXMLNFe::changeDirFtp(const std::string& path)
{
    try {
        IdFTP->ChangeDir(path);
        if (boHabilitado)
            btnNivelAcima->setEnabled(IdFTP->RetrieveCurrentDir() != SDirHome);
        else
            btnNivelAcima->setEnabled(false);
        sbtConfirma->setEnabled(false);
        edtDiretorio->setText(QString::fromStdString(IdFTP->RetrieveCurrentDir()));
        if (Consiste::EmptyString(IdFTP->RetrieveCurrentDir())) {
            Mrv::prompts().inform(windowTitle().toStdString(), "IdFTP.RetrieveCurrentDir");
            ControlaComponentes(false, true);
        }
        std::vector<std::string> lines;
        IdFTP->List(lines);
        CarregaGrid(lines);
    } catch (const std::exception& error) {
        enterUnavailable(error);
    }
}

void TfrmCtrlArqXMLNFe::AtualizaFTP()
{
    if (boHttp)
        return;
    try {
        while (IdFTP->Connected())
            IdFTP->Disconnect();
        IdFTP->Host = SFtpHosAddr;
        IdFTP->Username = SFtpUserId;
        IdFTP->Password = SFtpPassword;
        IdFTP->Connect();
    } catch (const std::exception& error) {
        enterUnavailable(error);
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
    startTransfer(0);
}

void TfrmCtrlArqXMLNFe::dbgArquivosTitleClick(const std::string& fieldName)
{
    toggleSortIndex(cdsArquivos, fieldName);
}

void TfrmCtrlArqXMLNFe::cdsArquivosAfterScroll(Platform::TClientDataSet& /*dataSet*/)
{
    // While a transfer runs, neither a second download nor a delete may start from the grid.
    const RowCommands commands = transferActive_ ? RowCommands{} : rowCommandsFor(cdsArquivos);
    btnExcluir->setEnabled(commands.deleteEnabled);
    sbtConfirma->setEnabled(commands.downloadEnabled);
}

void TfrmCtrlArqXMLNFe::IdFTPStatus(QObject* /*sender*/, Platform::TIdStatus status, const std::string& /*statusText*/)
{
    InImagemConexao = status == Platform::TIdStatus::hsConnected ? 1 : 0;
    StatusBar->RepaintPanels();
}

} // namespace Cli_Vop31600

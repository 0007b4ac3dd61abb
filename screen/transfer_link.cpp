// The screen's side of a transfer: the job it hands the worker and the view the worker reports to.
#include "screen/ctrl_arq_xml_nfe.h"

#include "screen/screen_globals.h"

#include "mrv/dbgeral.h"
#include "platform/widgets/progress_bar.h"
#include "platform/widgets/status_bar.h"

#include <QLineEdit>

namespace Cli_Vop31600 {

Cli_Vop31601::TransferJob TfrmCtrlArqXMLNFe::transferJob(int tag) const
{
    Cli_Vop31601::TransferJob job;
    job.tag = tag;
    // The worker follows the host's own HTTP settings, not the screen's.
    Cli_Vop31601::ConnectionProfile& connection = job.connection;
    connection.mode = Dbgeral::boHttp ? Cli_Vop31601::TransferMode::Gateway : Cli_Vop31601::TransferMode::Ftp;
    connection.gateway = {stConnectStr, Dbgeral::SHttpPort, Dbgeral::InHttpHttps};
    connection.ftp.host = SFtpHosAddr;
    connection.ftp.user = SFtpUserId;
    connection.ftp.password = SFtpPassword;
    job.directory = edtDiretorio->text().toStdString();
    job.hasRow = !cdsArquivos.IsEmpty();
    if (job.hasRow) {
        job.rowIsDirectory = cdsArquivosBOISDIRECTORY->AsBoolean();
        job.rowName = cdsArquivosDSNOME->AsString();
    }
    if (job.kind() == Cli_Vop31601::TransferKind::Upload)
        job.files = opdUpload->Files;
    const char* keys[] = {"VEL_DOWNLOAD", "VEL_UPLOAD", "TRANSF_COMPLETA", "TRANSF_CANCELADA", "TRANSF_FALHOU"};
    for (std::size_t i = 0; i < job.messages.size(); ++i)
        job.messages[i] = msgPadrao->Msg(keys[i]);
    return job;
}

std::optional<std::string> TfrmCtrlArqXMLNFe::chooseSaveTarget(const std::string& offeredName)
{
    savDownload->FileName = offeredName;
    if (!savDownload->Execute())
        return std::nullopt;
    return savDownload->FileName;
}

void TfrmCtrlArqXMLNFe::enterTransferState(bool enable, bool idle)
{
    const bool finished = enable && idle;
    if (finished)
        transferActive_ = false;
    ControlaComponentes(enable, idle);
    // A screen closed during the transfer lists nothing more.
    if (!closing())
        ChangeDir(edtDiretorio->text().toStdString());
    // Released before the reload, the held paint would draw the whole window first and hold the
    // reload back; released after it, one paint shows both.
    if (finished)
        stopPacingFrames();
}

void TfrmCtrlArqXMLNFe::showProgress(const Cli_Vop31601::ProgressUpdate& update)
{
    if (update.max)
        ProgressBar->SetMax(*update.max);
    if (update.text)
        StatusBar->SetPanelText(1, QString::fromStdString(*update.text));
    if (update.position)
        ProgressBar->SetPosition(*update.position);
}

} // namespace Cli_Vop31600

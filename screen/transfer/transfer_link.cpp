#include "screen/transfer/transfer_link.h"

#include "screen/browse/remote_browser.h"
#include "screen/trust/tls_trust.h"

#include "screen/ctrl_arq_xml_nfe.h"
#include "screen/screen_globals.h"
#include "transfer/transfer_worker.h"

#include "mrv/consiste.h"
#include "mrv/dbgeral.h"
#include "platform/widgets/frame_pacer.h"
#include "platform/widgets/progress_bar.h"
#include "platform/widgets/status_bar.h"

#include <QLineEdit>

#include <algorithm>
#include <cstdlib>

namespace Cli_Vop31600 {
namespace {

// The connections of a batch download or folder upload: VOP31600_CONEXOES (1 to 4), else 3.
int configuredConnections()
{
    const char* asked = std::getenv("VOP31600_CONEXOES");
    if (!asked || !*asked)
        return Cli_Vop31601::kDefaultConnections;
    char* end = nullptr;
    const long count = std::strtol(asked, &end, 10);
    if (*end != '\0' || count < 1)
        return Cli_Vop31601::kDefaultConnections;
    return static_cast<int>(std::min<long>(count, Cli_Vop31601::kMaxConnections));
}

} // namespace

TransferLink::TransferLink(TfrmCtrlArqXMLNFe& form, std::function<void()> release)
    : form_(form), release_(std::move(release))
{
}

Cli_Vop31601::TransferJob TransferLink::job(int tag) const
{
    Cli_Vop31601::TransferJob job;
    job.tag = tag;
    // The worker follows the host's own HTTP settings, not the screen's.
    Cli_Vop31601::ConnectionProfile& connection = job.connection;
    connection.mode = Dbgeral::boHttp ? Cli_Vop31601::TransferMode::Gateway : Cli_Vop31601::TransferMode::Ftp;
    connection.gateway = {stConnectStr, Dbgeral::SHttpPort, Dbgeral::InHttpHttps};
    connection.ftp = ftpProfile();
    job.directory = form_.edtDiretorio->text().toStdString();
    job.connections = configuredConnections();
    job.hasRow = !form_.cdsArquivos.IsEmpty();
    if (job.hasRow) {
        job.rowIsDirectory = form_.cdsArquivosBOISDIRECTORY->AsBoolean();
        job.rowName = form_.cdsArquivosDSNOME->AsString();
    }
    if (job.kind() == Cli_Vop31601::TransferKind::Upload)
        job.files = form_.opdUpload->Files;
    const char* keys[] = {"VEL_DOWNLOAD", "VEL_UPLOAD", "TRANSF_COMPLETA", "TRANSF_CANCELADA", "TRANSF_FALHOU"};
    for (std::size_t i = 0; i < job.messages.size(); ++i)
        job.messages[i] = form_.msgPadrao->Msg(keys[i]);
    return job;
}

Cli_Vop31601::FtpProfile TransferLink::ftpProfile() const
{
    Cli_Vop31601::FtpProfile ftp;
    ftp.host = form_.SFtpHosAddr;
    ftp.user = form_.SFtpUserId;
    ftp.password = form_.SFtpPassword;
    // A connection of its own speaks to the server as the screen's session found it: passive once
    // active mode was refused, TLS with the certificate the screen accepted.
    ftp.passive = form_.IdFTP->Passive;
    const TransferTls tls = form_.browser_->transferTls();
    if (tls.known) {
        ftp.tls = tls.mode;
        ftp.fingerprint = tls.fingerprint;
    } else {
        const TlsTrust trust;
        const std::string server = form_.SFtpHosAddr + ":21";
        ftp.tls = trust.requiresTls(server) ? Platform::TIdUseTLS::utUseRequireTLS : Platform::TIdUseTLS::utUseExplicitTLS;
        ftp.fingerprint = trust.acceptedFingerprint(server);
    }
    return ftp;
}

bool TransferLink::refuseSecond()
{
    if (!running() && !active_)
        return false;
    Consiste::MensErro(form_.msgPadrao->Msg("TRANSF_EM_ANDAMENTO"), false);
    return true;
}

void TransferLink::start(int tag)
{
    if (refuseSecond())
        return;
    run(job(tag));
}

void TransferLink::run(Cli_Vop31601::TransferJob job)
{
    active_ = true;
    QWidget* window = form_.window();
    if (!framePacer_ || framePacer_->watched() != window) {
        if (framePacer_) {
            framePacer_->setActive(false);
            framePacer_->deleteLater();
        }
        framePacer_ = new Platform::FramePacer(window, &form_);
    }
    framePacer_->setActive(true);
    form_.cdsArquivosAfterScroll(form_.cdsArquivos);
    ThrTransfer = Cli_Vop31601::TThrCtrlArqXMLNFe::Create(std::move(job), Cli_Vop31601::ViewHandle(&form_, this));
}

bool TransferLink::running() const
{
    auto worker = ThrTransfer.lock();
    return worker && !worker->Finished();
}

void TransferLink::terminate()
{
    if (auto worker = ThrTransfer.lock())
        worker->Terminate();
}

bool TransferLink::releaseWhenEnded()
{
    if (!running())
        return false;
    releaseWhenIdle_ = true;
    return true;
}

std::optional<std::string> TransferLink::chooseSaveTarget(const std::string& offeredName)
{
    form_.savDownload->FileName = offeredName;
    if (!form_.savDownload->Execute())
        return std::nullopt;
    return form_.savDownload->FileName;
}

void TransferLink::enterTransferState(bool enable, bool idle)
{
    const bool finished = enable && idle;
    if (finished)
        active_ = false;
    form_.ControlaComponentes(enable, idle);
    // A screen closed during the transfer lists nothing more.
    if (!releaseWhenIdle_)
        form_.ChangeDir(form_.edtDiretorio->text().toStdString());
    // Released before the reload, the held paint would draw the whole window first and hold the
    // reload back; released after it, one paint shows both.
    if (finished && framePacer_)
        framePacer_->setActive(false);
}

void TransferLink::enterBusyState() { form_.ControlaComponentes(false, false); }

void TransferLink::showProgress(const Cli_Vop31601::ProgressUpdate& update)
{
    if (update.max)
        form_.ProgressBar->SetMax(*update.max);
    if (update.text)
        form_.StatusBar->SetPanelText(1, QString::fromStdString(*update.text));
    if (update.position)
        form_.ProgressBar->SetPosition(*update.position);
}

void TransferLink::transferEnded()
{
    // The worker's end lets a screen closed meanwhile be released.
    if (releaseWhenIdle_) {
        releaseWhenIdle_ = false;
        release_();
    }
}

} // namespace Cli_Vop31600

#include "transfer/transfer_worker.h"

#include "transfer/partial_file.h"
#include "transfer/resuming_transfer.h"
#include "transfer/progress_format.h"
#include "transfer/progress_reporter.h"
#include "transfer/transfer_channel.h"

#include "platform/common/local_file_error.h"
#include "platform/common/protocol_log.h"
#include "platform/ftp/id_ftp.h"
#include "platform/http/id_http.h"

namespace Cli_Vop31601 {

namespace {

// The name a path ends with, without its directories.
std::string bareName(const std::string& path)
{
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

std::shared_ptr<TThrCtrlArqXMLNFe> TThrCtrlArqXMLNFe::Create(TransferJob job, ViewHandle view)
{
    std::shared_ptr<TThrCtrlArqXMLNFe> worker(new TThrCtrlArqXMLNFe(std::move(job), view));
    worker->Start(Platform::TThreadPriority::tpLower);
    return worker;
}

TThrCtrlArqXMLNFe::TThrCtrlArqXMLNFe(TransferJob job, ViewHandle view)
    : InOperacao(job.tag), job_(std::move(job)), view_(view), progress_(std::make_unique<ProgressReporter>(view))
{
    using Platform::TWorkMode;
    FtpSide ftp{FtpCliente,
                {[this](TWorkMode m, std::int64_t e) { IdFTPWorkBegin(m, e); },
                 [this](TWorkMode m, std::int64_t c) { _IdFTPWork(m, c); }, [this](TWorkMode m) { IdFTPWorkEnd(m); },
                 {}},
                {}};
    GatewaySide gateway{HttpCliente,
                        {[this](TWorkMode m, std::int64_t e) { _IdHttpWorkBegin(m, e); },
                         [this](TWorkMode m, std::int64_t c) { _IdHTTPWork(m, c); },
                         [this](TWorkMode m) { _IdHttpPWorkEnd(m); },
                         {}},
                        [this] { return Terminated(); }};
    channel_ = makeTransferChannel(job_.connection, job_.directory, std::move(ftp), std::move(gateway));
}

TThrCtrlArqXMLNFe::~TThrCtrlArqXMLNFe() = default;

void TThrCtrlArqXMLNFe::Execute()
{
    auto fail = [this](std::string cause) {
        failed_ = true;
        failure_ = std::move(cause);
    };
    try {
        if (!viewAlive())
            throw std::runtime_error("screen gone");
        switch (job_.kind()) {
        case TransferKind::BatchDownload:
            downloadBatch();
            break;
        case TransferKind::FolderUpload:
            uploadFolder();
            break;
        case TransferKind::Download:
            if (chooseDownloadTarget())
                download();
            break;
        case TransferKind::Upload:
            if (!job_.files.empty())
                upload();
            break;
        case TransferKind::Nothing:
            break;
        }
    } catch (const TransferError& error) {
        if (error.kind() != TransferError::Kind::Cancelled) {
            fail(error.what());
        } else {
            // Said again here for a request abandoned before its transfer began (no work end then).
            boCancelado = true;
            workEnd(Platform::TWorkMode::wmRead);
        }
    } catch (const std::exception& error) {
        fail(error.what());
    } catch (...) {
        fail("erro desconhecido");
    }
    cleanUp();
}

bool TThrCtrlArqXMLNFe::viewAlive()
{
    bool alive = false;
    Synchronize([this, &alive] { alive = view_.get() != nullptr; });
    return alive;
}

bool TThrCtrlArqXMLNFe::chooseDownloadTarget()
{
    if (!job_.hasRow || job_.rowIsDirectory)
        return false;
    std::optional<std::string> chosen;
    Synchronize([this, &chosen] {
        // The dialog offers the bare remote name: a name from the server never steers the save path.
        if (TransferView* view = view_.get())
            chosen = view->chooseSaveTarget(bareName(job_.rowName));
    });
    if (chosen)
        localPath_ = *chosen;
    return chosen && !localPath_.empty();
}

void TThrCtrlArqXMLNFe::enterState(bool enable, bool idle)
{
    boHabilitar = enable;
    boParado = idle;
    Synchronize([this] { UpdateControlaComponentes(); });
}

void TThrCtrlArqXMLNFe::enterBusyState()
{
    boHabilitar = false;
    boParado = false;
    Synchronize([this] {
        if (TransferView* view = view_.get())
            view->enterBusyState();
    });
}

void TThrCtrlArqXMLNFe::UpdateControlaComponentes()
{
    if (TransferView* view = view_.get())
        view->enterTransferState(boHabilitar, boParado);
}

void TThrCtrlArqXMLNFe::ConnectaFTP() { channel_->open(); }

void TThrCtrlArqXMLNFe::download()
{
    // The busy state covers gateway downloads too: one transfer at a time, whatever the mode.
    enterState(false, false);
    ConnectaFTP();
    // The user's file is replaced only by a complete download (over FTP, of exactly the announced size).
    PartialFile partial(localPath_, localPath_);
    try {
        fetchInto(job_.rowName, partial);
    } catch (const Platform::LocalFileError& error) {
        // The temporary file's failure is told of the user's file: the only one the user knows.
        if (error.Path() != partial.path())
            throw;
        throw error.About(localPath_);
    }
}

ResumeContext TThrCtrlArqXMLNFe::resumeContext()
{
    return {[this] { return Terminated() || boCancelado; }, [this](const std::string& text) { logResume(text); }, {}};
}

bool TThrCtrlArqXMLNFe::fetchInto(const std::string& remoteName, PartialFile& partial)
{
    return fetchResuming(*channel_, remoteName, partial, resumeContext(), true,
                         [this](std::int64_t size) { InTamanho = size; });
}

void TThrCtrlArqXMLNFe::logResume(const std::string& text) const
{
    const FtpProfile& ftp = job_.connection.ftp;
    const std::string connection = job_.connection.mode == TransferMode::Ftp
        ? "transferência " + ftp.host + ":" + std::to_string(ftp.port) : std::string("transferência (gateway)");
    Platform::ProtocolLog::instance().write(connection, Platform::ProtocolLog::Kind::Info, text);
}

void TThrCtrlArqXMLNFe::upload()
{
    enterState(false, false);
    ConnectaFTP();
    InQtdArquivos = static_cast<std::int32_t>(job_.files.size());
    for (std::size_t i = 0; i < job_.files.size(); ++i) {
        InArquivoAtual = static_cast<std::int32_t>(i + 1);
        Cli_Vop31601::sendResuming(*channel_, job_.files[i], bareName(job_.files[i]), resumeContext());
        enterState(false, false);
        if (boCancelado)
            break;
    }
}

void TThrCtrlArqXMLNFe::removePartialUpload()
{
    if (InArquivoAtual < 1 || InArquivoAtual > static_cast<std::int32_t>(job_.files.size())
        || !channel_->uploadMayRemain())
        return;
    channel_->remove(bareName(job_.files[static_cast<std::size_t>(InArquivoAtual - 1)]));
}

void TThrCtrlArqXMLNFe::reportFailure(const std::string& cause)
{
    // The message ends the sentence itself: one full stop, not the cause's and its own.
    std::string bare = cause;
    while (!bare.empty() && (bare.back() == '.' || bare.back() == ' '))
        bare.pop_back();
    progress_->setText(formatMessage(job_.messages[4], {bare}));
    progress_->setPosition(0);
    progress_->publish(true);
}

void TThrCtrlArqXMLNFe::cleanUp()
{
    auto attempt = [](auto&& step) {
        try {
            step();
        } catch (...) {
        }
    };
    if ((boCancelado || failed_) && InOperacao == 1)
        attempt([this] { removePartialUpload(); });
    if (failed_ && !boCancelado)
        attempt([this] { reportFailure(failure_); });
    channel_->close();
    attempt([this] { enterState(true, true); });
    Synchronize([this] {
        if (TransferView* view = view_.get())
            view->transferEnded();
    });
}

} // namespace Cli_Vop31601

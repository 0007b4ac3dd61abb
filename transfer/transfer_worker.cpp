#include "transfer/transfer_worker.h"

#include "transfer/partial_file.h"
#include "transfer/resume_policy.h"
#include "transfer/progress_format.h"
#include "transfer/progress_reporter.h"
#include "transfer/transfer_channel.h"

#include "platform/common/local_file_error.h"
#include "platform/common/protocol_log.h"
#include "platform/ftp/id_ftp.h"
#include "platform/http/id_http.h"

#include <filesystem>

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
                 [this](TWorkMode m, std::int64_t c) { _IdFTPWork(m, c); }, [this](TWorkMode m) { IdFTPWorkEnd(m); }}};
    GatewaySide gateway{HttpCliente,
                        {[this](TWorkMode m, std::int64_t e) { _IdHttpWorkBegin(m, e); },
                         [this](TWorkMode m, std::int64_t c) { _IdHTTPWork(m, c); },
                         [this](TWorkMode m) { _IdHttpPWorkEnd(m); }},
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

bool TThrCtrlArqXMLNFe::fetchInto(const std::string& remoteName, PartialFile& partial)
{
    std::int64_t size = channel_->size(remoteName);
    std::string stamp = channel_->modified(remoteName);
    if (size >= 0)
        InTamanho = size;
    ResumePolicy resume([this] { return Terminated() || boCancelado; });
    std::int64_t offset = 0;
    for (;;) {
        try {
            channel_->download(remoteName, partial, size, offset);
            break;
        } catch (const TransferError& error) {
            if (!resume.again(error))
                throw;
            logResume("Conexão perdida (" + std::string(error.what()) + "); nova tentativa "
                      + std::to_string(resume.attempt()) + " de " + std::to_string(ResumePolicy::kAttempts) + ".");
        }
        try {
            channel_->open();
        } catch (const TransferError& error) {
            if (error.kind() != TransferError::Kind::ConnectionLost)
                throw;
            offset = 0;  // still no server: the next failure counts against the attempts
            continue;
        }
        // Go on only with the same file: one that changed on the server starts again, so that two
        // versions are never spliced together.
        const std::int64_t sizeNow = channel_->size(remoteName);
        const std::string stampNow = channel_->modified(remoteName);
        offset = partial.size();
        // (Where the server tells neither, as the gateway, the channel asks for the same version.)
        if (sizeNow != size || stampNow != stamp || (sizeNow >= 0 && offset > sizeNow)) {
            logResume("O arquivo mudou no servidor: recomeça do início.");
            offset = 0;
            size = sizeNow;
            stamp = stampNow;
            if (size >= 0)
                InTamanho = size;
        } else {
            logResume("Retomando \"" + remoteName + "\" a partir de " + std::to_string(offset) + " bytes.");
        }
    }
    if (boCancelado)
        return false;
    partial.commit();
    return true;
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
        sendResuming(job_.files[i], bareName(job_.files[i]));
        enterState(false, false);
        if (boCancelado)
            break;
    }
}

void TThrCtrlArqXMLNFe::sendResuming(const std::string& localPath, const std::string& name)
{
    ResumePolicy resume([this] { return Terminated() || boCancelado; });
    std::int64_t offset = 0;
    for (;;) {
        try {
            channel_->upload(localPath, name, offset);
            return;
        } catch (const TransferError& error) {
            if (!resume.again(error))
                throw;
            logResume("Conexão perdida (" + std::string(error.what()) + "); nova tentativa "
                      + std::to_string(resume.attempt()) + " de " + std::to_string(ResumePolicy::kAttempts) + ".");
        }
        offset = 0;
        try {
            channel_->open();
        } catch (const TransferError& error) {
            if (error.kind() != TransferError::Kind::ConnectionLost)
                throw;
            continue;
        }
        // What reached the server is kept and the rest appended, when it is a beginning of this file.
        std::error_code ignored;
        const auto local = static_cast<std::int64_t>(std::filesystem::file_size(localPath, ignored));
        const std::int64_t remote = channel_->size(name);
        if (remote > 0 && remote <= local)
            offset = remote;
        logResume(offset > 0 ? "Retomando o envio de \"" + name + "\" a partir de " + std::to_string(offset) + " bytes."
                             : "Enviando \"" + name + "\" de novo desde o início.");
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

#include "transfer/transfer_worker.h"

#include "transfer/connection_string.h"
#include "transfer/local_file_error.h"
#include "transfer/partial_file.h"
#include "transfer/progress_format.h"
#include "transfer/progress_reporter.h"

#include "platform/ftp/ftp_errors.h"
#include "platform/ftp/id_ftp.h"
#include "platform/http/id_http.h"

#include <fstream>

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
    : InOperacao(job.tag), view_(view), progress_(std::make_unique<ProgressReporter>(view)),
      http_(job.mode == TransferMode::Gateway), isDirectory_(job.rowIsDirectory), hasRow_(job.hasRow),
      remoteName_(std::move(job.rowName)), directory_(std::move(job.directory)), host_(std::move(job.host)),
      user_(std::move(job.user)), password_(std::move(job.password)), connectStr_(std::move(job.connectionString)),
      httpPort_(std::move(job.httpPort)), httpsFlag_(job.https), files_(std::move(job.files)),
      messages_(std::move(job.messages)), batch_(job.batch), batchFiles_(std::move(job.batchFiles)),
      folder_(std::move(job.folder)), batchProgressText_(std::move(job.batchProgressText))
{
}

TThrCtrlArqXMLNFe::~TThrCtrlArqXMLNFe() = default;

void TThrCtrlArqXMLNFe::Execute()
{
    try {
        if (!viewAlive())
            throw std::runtime_error("screen gone");
        if (batch_) {
            downloadBatch();
        } else if (InOperacao == 0) {
            if (chooseDownloadTarget())
                download();
        } else if (InOperacao == 1) {
            if (chooseUploadFiles()) {
                if (http_)
                    uploadGateway();
                else
                    uploadFtp();
            }
        }
    } catch (const Platform::HttpCancelled&) {
        // Said again here for a request abandoned before its transfer began (no work end then).
        boCancelado = true;
        workEnd(Platform::TWorkMode::wmRead);
    } catch (const std::exception& error) {
        failed_ = true;
        failure_ = error.what();
    } catch (...) {
        failed_ = true;
        failure_ = "erro desconhecido";
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
    if (!hasRow_ || isDirectory_)
        return false;
    std::optional<std::string> chosen;
    Synchronize([this, &chosen] {
        // The dialog offers the bare remote name: a name from the server never steers the save path.
        if (TransferView* view = view_.get())
            chosen = view->chooseSaveTarget(bareName(remoteName_));
    });
    if (chosen)
        localPath_ = *chosen;
    return chosen && !localPath_.empty();
}

bool TThrCtrlArqXMLNFe::chooseUploadFiles() { return !files_.empty(); }

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

void TThrCtrlArqXMLNFe::ConnectaFTP()
{
    if (http_) {
        HttpCliente = std::make_unique<Platform::TIdHTTP>();
        const auto connection = parseGatewayConnection(connectStr_);
        HttpCliente->Username = connection.Login;
        HttpCliente->Password = connection.Password;
        HttpCliente->OnWorkBegin = [this](Platform::TWorkMode m, std::int64_t e) { _IdHttpWorkBegin(m, e); };
        HttpCliente->OnWork = [this](Platform::TWorkMode m, std::int64_t c) { _IdHTTPWork(m, c); };
        HttpCliente->OnWorkEnd = [this](Platform::TWorkMode m) { _IdHttpPWorkEnd(m); };
        HttpCliente->StopRequested = [this] { return Terminated(); };
        return;
    }
    if (!FtpCliente)
        FtpCliente = std::make_unique<Platform::TIdFTP>();
    while (FtpCliente->Connected())
        FtpCliente->Disconnect();
    FtpCliente->Quit();
    // The completion text states what was carried, not what was announced.
    FtpCliente->OnWork = [this](Platform::TWorkMode m, std::int64_t c) {
        carried_ = c;
        _IdFTPWork(m, c);
    };
    FtpCliente->OnWorkBegin = [this](Platform::TWorkMode m, std::int64_t e) {
        carried_ = 0;
        IdFTPWorkBegin(m, e);
    };
    FtpCliente->OnWorkEnd = [this](Platform::TWorkMode m) {
        InTamanho = carried_;
        IdFTPWorkEnd(m);
    };
    FtpCliente->Host = host_;
    FtpCliente->Username = user_;
    FtpCliente->Password = password_;
    FtpCliente->Port = 21;
    FtpCliente->Passive = false;
    FtpCliente->Connect();
    FtpCliente->ChangeDir(directory_);
}

void TThrCtrlArqXMLNFe::openDownloadConnection()
{
    ConnectaFTP();
    if (!http_)
        FtpCliente->TransferType(Platform::TIdFTPTransferType::ftBinary);
}

void TThrCtrlArqXMLNFe::download()
{
    // The busy state covers gateway downloads too: one transfer at a time, whatever the mode.
    enterState(false, false);
    openDownloadConnection();
    // The user's file is replaced only by a complete download (over FTP, of exactly the announced size).
    PartialFile partial(localPath_);
    try {
        fetchInto(remoteName_, partial, " " + localPath_);
    } catch (const Platform::FtpError& error) {
        // A local write error names the file it wrote: the user knows only their own file.
        const std::string text = error.what();
        const auto at = text.find(partial.path());
        if (error.ReplyCode() != 0 || at == std::string::npos)
            throw;
        throw Platform::FtpError(std::string(text).replace(at, partial.path().size(), localPath_));
    }
}

bool TThrCtrlArqXMLNFe::fetchInto(const std::string& remoteName, PartialFile& partial, const std::string& place)
{
    if (http_) {
        std::ofstream out(partial.path(), std::ios::binary | std::ios::trunc);
        if (!out)
            throw LocalFileError("não foi possível criar o arquivo" + place);
        HttpCliente->Get(gatewayUrl("file", remoteName), out);
        out.close();
        if (!out)
            throw LocalFileError("não foi possível gravar o arquivo" + place);
    } else {
        InTamanho = FtpCliente->Size(remoteName);
        FtpCliente->Get(remoteName, partial.path(), true, InTamanho);
    }
    if (boCancelado)
        return false;
    partial.commit();
    return true;
}

std::string TThrCtrlArqXMLNFe::gatewayUrl(const std::string& endpoint, const std::string& name,
                                          std::vector<std::pair<std::string, std::string>> extra) const
{
    const auto connection = parseGatewayConnection(connectStr_);
    const std::string base = gatewayBaseUrl(connection.Address, httpPort_, httpsFlag_);
    extra.insert(extra.begin(), {{"dir", directory_}, {"name", name}});
    return gatewayRequestUrl(base, connection.Path, endpoint, extra);
}

void TThrCtrlArqXMLNFe::uploadFtp()
{
    enterState(false, false);
    ConnectaFTP();
    FtpCliente->TransferType(Platform::TIdFTPTransferType::ftBinary);
    InQtdArquivos = static_cast<std::int32_t>(files_.size());
    for (std::size_t i = 0; i < files_.size(); ++i) {
        InArquivoAtual = static_cast<std::int32_t>(i + 1);
        uploadToRemove_ = false;
        FtpCliente->Put(files_[i], bareName(files_[i]), false);
        uploadToRemove_ = false;
        enterState(false, false);
        if (boCancelado)
            break;
    }
}

void TThrCtrlArqXMLNFe::uploadGateway()
{
    enterState(false, false);
    ConnectaFTP();
    InQtdArquivos = static_cast<std::int32_t>(files_.size());
    for (std::size_t i = 0; i < files_.size(); ++i) {
        InArquivoAtual = static_cast<std::int32_t>(i + 1);
        // The gateway stores a file only once it is complete, so a failed POST leaves nothing to
        // remove (and the server's older copy stays). Only a cancelled file arrives whole and has
        // to go again.
        uploadToRemove_ = false;
        try {
            HttpCliente->PostFile(gatewayUrl("file", bareName(files_[i])), "file", files_[i]);
        } catch (const Platform::HttpCancelled& cancelled) {
            // Abandoned while the reply was awaited, the file may well have been stored.
            uploadToRemove_ = cancelled.RequestSent();
            throw;
        }
        uploadToRemove_ = boCancelado;
        enterState(false, false);
        if (boCancelado)
            break;
    }
}

void TThrCtrlArqXMLNFe::removePartialUpload()
{
    if (InArquivoAtual < 1 || InArquivoAtual > static_cast<std::int32_t>(files_.size()) || !uploadToRemove_)
        return;
    const std::string name = bareName(files_[static_cast<std::size_t>(InArquivoAtual - 1)]);
    if (http_) {
        if (!boCancelado)
            return;
        // The abort that stopped the transfer must not stop its clean-up.
        HttpCliente->StopRequested = nullptr;
        HttpCliente->Post(gatewayUrl("delete", name, {{"kind", "file"}}));
        return;
    }
    // The worker's own session is still in step after an abort; a dropped one is opened again.
    if (!FtpCliente || !FtpCliente->Connected())
        ConnectaFTP();
    FtpCliente->Delete(name);
}

void TThrCtrlArqXMLNFe::reportFailure(const std::string& cause)
{
    // The message ends the sentence itself: one full stop, not the cause's and its own.
    std::string bare = cause;
    while (!bare.empty() && (bare.back() == '.' || bare.back() == ' '))
        bare.pop_back();
    progress_->setText(formatMessage(messages_[4], {bare}));
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
    attempt([this] {
        if (FtpCliente) {
            while (FtpCliente->Connected())
                FtpCliente->Disconnect();
            FtpCliente->Quit();
            FtpCliente.reset();
        }
    });
    HttpCliente.reset();
    attempt([this] { enterState(true, true); });
    Synchronize([this] {
        if (TransferView* view = view_.get())
            view->transferEnded();
    });
}

} // namespace Cli_Vop31601

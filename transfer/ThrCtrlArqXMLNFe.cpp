#include "transfer/ThrCtrlArqXMLNFe.h"

#include "package/module_globals.h"
#include "screen/ctrl_arq_xml_nfe.h"
#include "transfer/connection_string.h"
#include "transfer/progress_format.h"
#include "transfer/progress_reporter.h"

#include "mrv/dbgeral.h"
#include "mrv/file_dialogs.h"
#include "platform/id_ftp.h"
#include "platform/id_http.h"

#include <QLineEdit>

#include <filesystem>
#include <fstream>
#include <random>

namespace Cli_Vop31601 {
namespace fs = std::filesystem;

namespace {

// The name a path ends with, without its directories.
std::string bareName(const std::string& path)
{
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A temporary file beside the target, so that the rename at the end stays on one file system.
std::string temporaryBeside(const std::string& target)
{
    std::random_device random;
    const fs::path path(target);
    std::string name(".");
    name.append(path.filename().string()).append(".part-").append(std::to_string(random() % 1000000));
    return (path.parent_path() / name).string();
}

} // namespace

std::shared_ptr<TThrCtrlArqXMLNFe> TThrCtrlArqXMLNFe::Create(int job, Cli_Vop31600::TfrmCtrlArqXMLNFe* screen)
{
    std::shared_ptr<TThrCtrlArqXMLNFe> worker(new TThrCtrlArqXMLNFe(job, screen));
    worker->Start(Platform::TThreadPriority::tpLower);
    return worker;
}

TThrCtrlArqXMLNFe::TThrCtrlArqXMLNFe(int job, Cli_Vop31600::TfrmCtrlArqXMLNFe* screen)
    : InOperacao(job), screen_(screen), progress_(std::make_unique<ProgressReporter>(screen_))
{
}

TThrCtrlArqXMLNFe::~TThrCtrlArqXMLNFe() = default;

void TThrCtrlArqXMLNFe::Execute()
{
    try {
        if (!readScreen())
            throw std::runtime_error("screen gone");
        if (InOperacao == 0) {
            if (chooseDownloadTarget()) {
                if (http_)
                    downloadGateway();
                else
                    downloadFtp();
            }
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

bool TThrCtrlArqXMLNFe::readScreen()
{
    bool alive = false;
    Synchronize([this, &alive] {
        if (!screen_)
            return;
        alive = true;
        auto& form = *screen_;
        // The worker follows the host's own HTTP switch, not the screen's.
        http_ = Dbgeral::boHttp;
        httpPort_ = Dbgeral::SHttpPort;
        httpsFlag_ = Dbgeral::InHttpHttps;
        connectStr_ = Cli_Vop31600::stConnectStr;
        host_ = form.ftpHost();
        user_ = form.ftpUser();
        password_ = form.ftpPassword();
        directory_ = form.edtDiretorio->text().toStdString();
        hasRow_ = !form.cdsArquivos.IsEmpty();
        if (hasRow_) {
            isDirectory_ = form.cdsArquivosBOISDIRECTORY->AsBoolean();
            remoteName_ = form.cdsArquivosDSNOME->AsString();
        }
        const char* keys[] = {"VEL_DOWNLOAD", "VEL_UPLOAD", "TRANSF_COMPLETA", "TRANSF_CANCELADA", "TRANSF_FALHOU"};
        for (int i = 0; i < 5; ++i)
            messages_[i] = form.msgPadrao->Msg(keys[i]);
    });
    return alive;
}

bool TThrCtrlArqXMLNFe::chooseDownloadTarget()
{
    if (!hasRow_ || isDirectory_)
        return false;
    bool chosen = false;
    Synchronize([this, &chosen] {
        if (!screen_)
            return;
        // The dialog offers the bare remote name: a name from the server never steers the save path.
        screen_->savDownload->FileName = bareName(remoteName_);
        chosen = screen_->savDownload->Execute();
        if (chosen)
            localPath_ = screen_->savDownload->FileName;
    });
    return chosen && !localPath_.empty();
}

bool TThrCtrlArqXMLNFe::chooseUploadFiles()
{
    Synchronize([this] {
        if (screen_)
            files_ = screen_->opdUpload->Files;
    });
    return !files_.empty();
}

void TThrCtrlArqXMLNFe::enterState(bool enable, bool idle)
{
    boHabilitar = enable;
    boParado = idle;
    Synchronize([this] { UpdateControlaComponentes(); });
}

void TThrCtrlArqXMLNFe::UpdateControlaComponentes()
{
    if (!screen_)
        return;
    if (boHabilitar && boParado)
        screen_->transferFinishing();
    screen_->ControlaComponentes(boHabilitar, boParado);
    // A screen closed during the transfer lists nothing more.
    if (!screen_->closing())
        screen_->ChangeDir(screen_->edtDiretorio->text().toStdString());
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
    FtpCliente->OnWork = [this](Platform::TWorkMode m, std::int64_t c) { _IdFTPWork(m, c); };
    FtpCliente->OnWorkBegin = [this](Platform::TWorkMode m, std::int64_t e) { IdFTPWorkBegin(m, e); };
    FtpCliente->OnWorkEnd = [this](Platform::TWorkMode m) { IdFTPWorkEnd(m); };
    FtpCliente->Host = host_;
    FtpCliente->Username = user_;
    FtpCliente->Password = password_;
    FtpCliente->Port = 21;
    FtpCliente->Passive = false;
    FtpCliente->Connect();
    FtpCliente->ChangeDir(directory_);
}

void TThrCtrlArqXMLNFe::downloadFtp()
{
    enterState(false, false);
    ConnectaFTP();
    FtpCliente->TransferType(Platform::TIdFTPTransferType::ftBinary);
    InTamanho = FtpCliente->Size(remoteName_);
    // The user's file is replaced only by a complete download.
    tempPath_ = temporaryBeside(localPath_);
    FtpCliente->Get(remoteName_, tempPath_, true);
    if (!boCancelado) {
        fs::rename(tempPath_, localPath_);
        tempPath_.clear();
    }
}

std::string TThrCtrlArqXMLNFe::gatewayUrl(const std::string& endpoint, const std::string& name,
                                          std::vector<std::pair<std::string, std::string>> extra) const
{
    const auto connection = parseGatewayConnection(connectStr_);
    const std::string base = gatewayBaseUrl(connection.Address, httpPort_, httpsFlag_);
    extra.insert(extra.begin(), {{"dir", directory_}, {"name", name}});
    return gatewayRequestUrl(base, connection.Path, endpoint, extra);
}

void TThrCtrlArqXMLNFe::downloadGateway()
{
    // The busy state covers gateway downloads too: one transfer at a time, whatever the mode.
    enterState(false, false);
    ConnectaFTP();
    tempPath_ = temporaryBeside(localPath_);
    {
        std::ofstream out(tempPath_, std::ios::binary | std::ios::trunc);
        if (!out)
            throw std::runtime_error("não foi possível criar o arquivo " + localPath_);
        HttpCliente->Get(gatewayUrl("file", remoteName_), out);
        out.close();
        if (!out)
            throw std::runtime_error("não foi possível gravar o arquivo " + localPath_);
    }
    if (!boCancelado) {
        fs::rename(tempPath_, localPath_);
        tempPath_.clear();
    }
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
    progress_->setText(formatMessage(messages_[4], {cause}));
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
    if (boCancelado || failed_) {
        attempt([this] {
            if (!tempPath_.empty())
                fs::remove(tempPath_);
        });
        if (InOperacao == 1)
            attempt([this] { removePartialUpload(); });
    }
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
        if (screen_)
            screen_->transferEnded();
    });
}

} // namespace Cli_Vop31601

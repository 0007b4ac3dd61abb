// Delete, New directory and the starts of Download, Upload and the batch download.
#include "screen/ctrl_arq_xml_nfe.h"

#include "screen/screen_globals.h"
#include "screen/protected_paths.h"
#include "screen/browse/remote_browser.h"

#include "mrv/consiste.h"
#include "mrv/prompts.h"
#include "platform/dataset/dataset_model.h"
#include "platform/common/text_codec.h"

#include <QLineEdit>

#include <stdexcept>

namespace Cli_Vop31600 {
namespace {

// A name the wire cannot carry is refused before anything is sent.
void checkSendableName(const std::string& name)
{
    if (name.find_first_of("\r\n") != std::string::npos)
        throw std::invalid_argument("O nome não pode conter quebras de linha.");
    if (name.find_first_of("/\\") != std::string::npos)
        throw std::invalid_argument("O nome não pode conter \"/\" nem \"\\\".");
    Platform::utf8ToCp1252(name);
}

} // namespace

void TfrmCtrlArqXMLNFe::btnExcluirClick(QObject* /*sender*/)
{
    try {
        const std::string name = cdsArquivos.IsEmpty() ? std::string() : cdsArquivosDSNOME->AsString();
        if (isProtectedPath(edtDiretorio->text().toStdString(), name))
            Consiste::MensErro(msgPadrao->Msg("EXCLUSAO_BLOQUEADA"), true);
        if (!cdsArquivos.Active() || cdsArquivos.IsEmpty()
            || cdsArquivos.state() != Platform::TClientDataSet::State::Browse)
            return;
        // Delete is disabled while a transfer runs but Ctrl+E still fires: refused before the question.
        if (transferLink.active())
            Consiste::MensErro(msgPadrao->Msg("TRANSF_EM_ANDAMENTO"), true);
        if (msgPadrao->ShowMsg("CONF_EXCLUSAO", Mrv::DialogType::Confirmation, 0)
            != static_cast<int>(Mrv::ModalResult::Yes))
            return;
        if (!browser_->connected())
            return;
        browser_->remove(name, cdsArquivosBOISDIRECTORY->AsBoolean());
        ChangeDir(browser_->currentDir());
    } catch (const std::exception& error) {
        clientWait.reportUnlessClosing(error);
    }
}

void TfrmCtrlArqXMLNFe::btnNovoDirClick(QObject* /*sender*/)
{
    try {
        if (!browser_->connected())
            return;
        const std::string name =
            Mrv::prompts().inputText(msgPadrao->Msg("NOVO_DIRETORIO"), msgPadrao->Msg("NOME"), "").value_or("");
        cdsArquivos.DisableControls();
        if (cdsArquivos.Locate("DSNOME", name, true) || isProtectedPath(edtDiretorio->text().toStdString(), name))
            Consiste::MensErro(msgPadrao->Msg("NOVO_DIR_JA_EXISTE"), true);
        cdsArquivos.EnableControls();
        if (Consiste::EmptyString(name))
            return;
        checkSendableName(name);
        browser_->makeDir(name);
        ChangeDir(browser_->currentDir());
    } catch (const std::exception& error) {
        if (cdsArquivos.ControlsDisabled())
            cdsArquivos.EnableControls();
        clientWait.reportUnlessClosing(error);
    }
}

void TfrmCtrlArqXMLNFe::btnUploadClick(QObject* /*sender*/)
{
    if (transferLink.refuseSecond())
        return;
    if (!opdUpload->Execute())
        return;
    transferLink.start(btnUpload->Tag());
}

void TfrmCtrlArqXMLNFe::sbtConfirmaClick(QObject* /*sender*/)
{
    if (transferLink.refuseSecond())
        return;
    transferLink.start(sbtConfirma->Tag());
}

void TfrmCtrlArqXMLNFe::actBaixarListadosExecute(QObject* /*sender*/) { transferLink.startBatch(); }

} // namespace Cli_Vop31600

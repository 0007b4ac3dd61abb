// "Enviar pasta": the command, and the screen's side of the folder upload.
#include "screen/transfer/folder_upload.h"

#include "screen/ctrl_arq_xml_nfe.h"
#include "screen/protected_paths.h"
#include "screen/transfer/transfer_link.h"

#include "transfer/folder_upload.h"

#include "mrv/consiste.h"
#include "mrv/prompts.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>

#include <filesystem>

namespace Cli_Vop31600 {
namespace {

namespace fs = std::filesystem;

const char* const folderCaption = "Enviar Pasta";

} // namespace

FolderUploadCommand::FolderUploadCommand(TfrmCtrlArqXMLNFe& form) : QObject(&form), form_(form)
{
    action_ = new QAction(QStringLiteral("Enviar pasta"), &form);
    action_->setObjectName(QStringLiteral("actEnviarPasta"));
    action_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_U));
    action_->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    form.addAction(action_);
    connect(action_, &QAction::triggered, this, [this] { form_.transferLink.startFolderUpload(); });
}

void FolderUploadCommand::addMenuEntries(QMenu& menu, bool enabled) const
{
    QAction* entry = menu.addAction(QStringLiteral("Enviar Pasta..."), action_, &QAction::trigger);
    entry->setShortcut(action_->shortcut());
    entry->setEnabled(enabled);
}

void TransferLink::startFolderUpload()
{
    if (refuseSecond() || !form_.boHabilitado)
        return;
    const auto chosen = Mrv::prompts().chooseFolder(folderCaption, uploadFolder_);
    if (!chosen || chosen->empty())
        return;
    uploadFolder_ = *chosen;
    const fs::path folder = fs::path(*chosen).lexically_normal();
    const fs::path trimmed = folder.has_filename() ? folder : folder.parent_path();
    const std::string name = trimmed.filename().string();
    std::error_code error;
    if (name.empty() || !fs::is_directory(trimmed, error)) {
        Consiste::MensErro("A pasta \"" + *chosen + "\" não existe. Nenhum arquivo foi enviado.", false);
        return;
    }
    if (const auto reason = Cli_Vop31601::unsendableName(name)) {
        Consiste::MensErro("A pasta \"" + name + "\" não pode ser enviada: " + *reason + ".", false);
        return;
    }
    // A system directory is neither made nor changed by a folder of the same name.
    if (isProtectedPath(form_.edtDiretorio->text().toStdString(), name)) {
        Consiste::MensErro(form_.msgPadrao->Msg("EXCLUSAO_BLOQUEADA"), false);
        return;
    }
    Cli_Vop31601::TransferJob upload = job(form_.btnUpload->Tag());
    upload.files.clear();
    upload.uploadFolder = trimmed.string();
    upload.batchProgressText = form_.msgPadrao->Msg("VEL_UPLOAD_PASTA");
    run(std::move(upload));
}

} // namespace Cli_Vop31600

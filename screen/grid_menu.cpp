// The grid's context menu and the find bar's command.
#include "screen/ctrl_arq_xml_nfe.h"

#include "screen/details/nfe_details.h"
#include "screen/find/find_bar.h"
#include "screen/summary/summary_control.h"
#include "screen/transfer/folder_upload.h"

#include <QAction>
#include <QMenu>

namespace Cli_Vop31600 {
namespace {

// A menu entry that runs a screen command as its shortcut would, naming the shortcut.
void addCommand(QMenu& menu, QAction* command, const QString& label, bool enabled)
{
    QAction* entry = menu.addAction(label, command, &QAction::trigger);
    entry->setShortcut(command->shortcut());
    entry->setEnabled(enabled);
}

} // namespace

void TfrmCtrlArqXMLNFe::buildGridMenu(QMenu& menu)
{
    const bool idle = boHabilitado && !transferLink.active();
    addCommand(menu, actBaixarListados, QStringLiteral("Baixar Todos os Arquivos Listados..."),
               idle && !cdsArquivos.IsEmpty());
    folderUpload_->addMenuEntries(menu, idle);
    addCommand(menu, actLocalizar, QStringLiteral("Localizar"), true);
    addCommand(menu, actResumo, QStringLiteral("Resumo do Diretório..."), !cdsArquivos.IsEmpty());
    if (details_)
        details_->addMenuEntries(menu);
}

void TfrmCtrlArqXMLNFe::actLocalizarExecute(QObject* /*sender*/) { panLocalizar->openBar(); }

void TfrmCtrlArqXMLNFe::actResumoExecute(QObject* /*sender*/) { summary_->open(); }

} // namespace Cli_Vop31600

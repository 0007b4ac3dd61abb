// The grid's context menu and the find bar's command.
#include "screen/ctrl_arq_xml_nfe.h"

#include "screen/find_bar.h"
#include "screen/nfe_details.h"

#include "mrv/application.h"

#include <QAction>
#include <QMenu>
#include <QTableView>

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

void TfrmCtrlArqXMLNFe::installGridMenu()
{
    dbgArquivos->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(dbgArquivos, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu menu(this);
        menu.setObjectName(QStringLiteral("mnuArquivos"));
        buildGridMenu(menu);
        menu.exec(dbgArquivos->viewport()->mapToGlobal(at));
    });
}

void TfrmCtrlArqXMLNFe::buildGridMenu(QMenu& menu)
{
    const bool idle = boHabilitado && !transferActive_;
    addCommand(menu, actBaixarListados, QStringLiteral("Baixar Todos os Arquivos Listados..."),
               idle && !cdsArquivos.IsEmpty());
    addCommand(menu, actLocalizar, QStringLiteral("Localizar"), true);
    if (details_)
        details_->addMenuEntries(menu);
}

void TfrmCtrlArqXMLNFe::actLocalizarExecute(QObject* /*sender*/) { panLocalizar->openBar(); }

} // namespace Cli_Vop31600

#include "screen/screen_commands.h"

#include "screen/ctrl_arq_xml_nfe.h"

#include <array>

namespace Cli_Vop31600 {
namespace {

using F = TfrmCtrlArqXMLNFe;
constexpr auto Bar = CommandPlace::DirectoryBar;
constexpr auto Column = CommandPlace::ButtonColumn;

QKeySequence ctrl(Qt::Key key) { return QKeySequence(Qt::CTRL | key); }

const std::array<ScreenCommand, 11>& table()
{
    // Abort has no shortcut (Ctrl+A refreshes), yet its designed hint names Ctrl+A.
    static const std::array<ScreenCommand, 11> commands{{
        {&F::btnHome, "btnHome", &F::actHome, "actHome", ctrl(Qt::Key_H), "Home", nullptr, Glyph::Home, 0, Bar, 0,
         &F::btnHomeClick, true},
        {&F::btnNivelAcima, "btnNivelAcima", &F::actNivelAcima, "actNivelAcima", ctrl(Qt::Key_Z), "Nível Acima",
         nullptr, Glyph::Up, 0, Bar, 0, &F::btnNivelAcimaClick, true},
        {&F::btnAtualizar, "btnAtualizar", &F::actAtualizar, "actAtualizar", ctrl(Qt::Key_A), "Atualizar", nullptr,
         Glyph::Refresh, 0, Bar, 0, &F::btnAtualizarClick, true},
        {&F::sbtConfirma, "sbtConfirma", &F::actConfirma, "actConfirma", ctrl(Qt::Key_D), "Download", nullptr,
         Glyph::Download, 0, Column, 4, &F::sbtConfirmaClick, true},
        {&F::btnAbortar, "btnAbortar", &F::actAbortar, "actAbortar", QKeySequence(), "Abortar", "Ctrl+A",
         Glyph::Abort, 0, Bar, 0, &F::btnAbortarClick, false},
        {&F::btnUpload, "btnUpload", &F::actUpload, "actUpload", ctrl(Qt::Key_U), "Upload", nullptr, Glyph::Upload, 1,
         Column, 26, &F::btnUploadClick, true},
        {&F::btnExcluir, "btnExcluir", &F::actExcluir, "actExcluir", ctrl(Qt::Key_E), "Excluir", nullptr,
         Glyph::Delete, 0, Column, 70, &F::btnExcluirClick, true},
        {&F::btnNovoDir, "btnNovoDir", &F::actNovoDir, "actNovoDir", ctrl(Qt::Key_N), "Criar Novo Diretório",
         nullptr, Glyph::NewFolder, 0, Column, 48, &F::btnNovoDirClick, true},
        // Keyboard and menu commands: no button, the designed layout stays as it is.
        {nullptr, nullptr, &F::actLocalizar, "actLocalizar", ctrl(Qt::Key_F), "Localizar", nullptr, Glyph::Home, 0,
         Bar, 0, &F::actLocalizarExecute, true},
        {nullptr, nullptr, &F::actBaixarListados, "actBaixarListados", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D),
         "Baixar Todos os Arquivos Listados", nullptr, Glyph::Download, 0, Column, 0, &F::actBaixarListadosExecute,
         true},
        {nullptr, nullptr, &F::actResumo, "actResumo", ctrl(Qt::Key_R), "Resumo do diretório", nullptr, Glyph::Home, 0,
         Bar, 0, &F::actResumoExecute, true},
    }};
    return commands;
}

} // namespace

std::span<const ScreenCommand> screenCommands() { return table(); }

QString commandHint(const ScreenCommand& command)
{
    const QString keys = command.hintKeys ? QString::fromUtf8(command.hintKeys)
                                          : command.shortcut.toString(QKeySequence::PortableText);
    return QString::fromUtf8(command.label) + QStringLiteral(" (") + keys + QStringLiteral(")");
}

} // namespace Cli_Vop31600

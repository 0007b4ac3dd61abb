// The screen's side of the file table: parsing and loading go to the listing parser; the screen
// adds the cursor, the row rule and the focus.
#include "screen/ctrl_arq_xml_nfe.h"

#include "screen/listing_parser.h"

#include "platform/widgets/unchanged_view_guard.h"

#include <QTableView>

#include <optional>

namespace Cli_Vop31600 {

void TfrmCtrlArqXMLNFe::DadosLine(const std::string& line, std::string& modification, std::string& kind,
                                  bool& isDirectory, std::string& sizeText, std::string& name) const
{
    Cli_Vop31600::DadosLine(line, modification, kind, isDirectory, sizeText, name);
}

void TfrmCtrlArqXMLNFe::CarregaGrid(const std::vector<std::string>& lines)
{
    // A long listing loads in slices with the window painting in between; the grid's cursor
    // follows only once every row is in.
    // During a transfer the listing is reloaded after every file: the cells repaint only when the
    // rows in view changed.
    std::optional<Platform::UnchangedViewGuard> unchanged;
    if (transferLink.active())
        unchanged.emplace(dbgArquivos);
    const Platform::WaitHook hook = clientWait.hook();
    Platform::WaitPacer pacer(hook);
    cdsArquivos.DisableControls();
    try {
        Cli_Vop31600::CarregaGrid(cdsArquivos, lines, [&pacer] { pacer.serveIfDue(); });
    } catch (...) {
        cdsArquivos.EnableControls();
        throw;
    }
    cdsArquivos.EnableControls();
    cdsArquivos.First();
    cdsArquivosAfterScroll(cdsArquivos);
    // The current row stays in view after every reload.
    if (const QModelIndex current = dbgArquivos->currentIndex(); current.isValid())
        dbgArquivos->scrollTo(current);
    if (dbgArquivos->isEnabled())
        dbgArquivos->setFocus();
}

std::string TfrmCtrlArqXMLNFe::ConvertBytes(std::int64_t bytes) const { return Cli_Vop31600::ConvertBytes(bytes); }

void TfrmCtrlArqXMLNFe::cdsArquivosFLTAMANHOGetText(const Platform::TField& sender, std::string& text,
                                                    bool /*displayText*/) const
{
    text = sizeCellText(sender);
}

} // namespace Cli_Vop31600

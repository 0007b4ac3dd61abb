// Download of every file row shown, into one folder, as one transfer.
#include "screen/transfer/transfer_link.h"

#include "screen/ctrl_arq_xml_nfe.h"

#include "transfer/batch_report.h"

#include "mrv/consiste.h"
#include "mrv/prompts.h"

#include <filesystem>
#include <fstream>
#include <random>

namespace Cli_Vop31600 {
namespace {

namespace fs = std::filesystem;

const char* const batchCaption = "Baixar Arquivos Listados";

// Why nothing can be written into folder, or nothing when a file can be created there.
std::optional<std::string> unwritableFolder(const std::string& folder)
{
    std::error_code error;
    if (!fs::is_directory(folder, error))
        return "A pasta \"" + folder + "\" não existe. Nenhum arquivo foi transferido.";
    // Permissions alone do not tell (root, read-only mounts): a probe file does.
    std::random_device random;
    const fs::path probe = fs::path(folder) / (".vop-gravacao-" + std::to_string(random() % 1000000));
    bool written = false;
    {
        std::ofstream out(probe, std::ios::binary | std::ios::trunc);
        written = out && (out << 'x') && out.flush();
    }
    fs::remove(probe, error);
    if (!written)
        return "Não é possível gravar na pasta \"" + folder + "\". Nenhum arquivo foi transferido.";
    return std::nullopt;
}

} // namespace

void TransferLink::reportBatchFailures(const std::string& text)
{
    Mrv::prompts().error(form_.windowTitle().toStdString(), text);
}

void TransferLink::startBatch()
{
    Platform::TClientDataSet& cdsArquivos = form_.cdsArquivos;
    if (refuseSecond() || !form_.boHabilitado || !cdsArquivos.Active()
        || cdsArquivos.state() != Platform::TClientDataSet::State::Browse)
        return;
    // The rows shown, in the order shown: the find filter and the sort decide what goes.
    std::vector<Cli_Vop31601::BatchFile> files;
    const int directory = form_.cdsArquivosBOISDIRECTORY->Index();
    const int name = form_.cdsArquivosDSNOME->Index();
    const int size = form_.cdsArquivosFLTAMANHO->Index();
    for (int row = 0; row < cdsArquivos.RecordCount(); ++row) {
        Platform::TClientDataSet::RowScope scope(cdsArquivos, row);
        if (cdsArquivos.Fields(directory).AsBoolean())
            continue;
        const Platform::TField& sizeField = cdsArquivos.Fields(size);
        files.push_back({cdsArquivos.Fields(name).AsString(),
                         sizeField.IsNull() ? -1 : static_cast<std::int64_t>(sizeField.AsFloat())});
    }
    if (files.empty()) {
        Mrv::prompts().inform(batchCaption, "Nenhum arquivo listado para baixar.");
        return;
    }
    const auto folder = Mrv::prompts().chooseFolder(batchCaption, batchFolder_);
    if (!folder || folder->empty())
        return;
    batchFolder_ = *folder;
    if (const auto problem = unwritableFolder(*folder)) {
        Consiste::MensErro(*problem, false);
        return;
    }

    std::vector<std::size_t> existing;
    for (std::size_t i = 0; i < files.size(); ++i) {
        std::error_code ignored;
        if (!Cli_Vop31601::unusableLocalName(files[i].name) && fs::exists(fs::path(*folder) / files[i].name, ignored))
            existing.push_back(i);
    }
    if (!existing.empty()) {
        const std::string text = existing.size() == 1
            ? "1 dos " + std::to_string(files.size()) + " arquivos já existe na pasta escolhida."
            : std::to_string(existing.size()) + " dos " + std::to_string(files.size())
                + " arquivos já existem na pasta escolhida.";
        const int choice = Mrv::prompts().choose(batchCaption, text,
                                                 {"Substituir todos", "Ignorar existentes", "Cancelar"});
        if (choice == 1) {
            for (auto it = existing.rbegin(); it != existing.rend(); ++it)
                files.erase(files.begin() + static_cast<std::ptrdiff_t>(*it));
            if (files.empty()) {
                Mrv::prompts().inform(batchCaption, "Todos os arquivos listados já existem na pasta escolhida. "
                                                    "Nenhum arquivo foi transferido.");
                return;
            }
        } else if (choice != 0) {
            return;
        }
    }

    Cli_Vop31601::TransferJob batch = job(0);
    batch.batch = true;
    batch.batchFiles = std::move(files);
    batch.folder = *folder;
    batch.batchProgressText = form_.msgPadrao->Msg("VEL_DOWNLOAD_LOTE");
    run(std::move(batch));
}

} // namespace Cli_Vop31600

// Download of every row shown, the directories walked, into one folder, as one transfer.
#include "screen/transfer/transfer_link.h"

#include "screen/ctrl_arq_xml_nfe.h"

#include "screen/listing_parser.h"

#include "transfer/batch_report.h"

#include "mrv/consiste.h"
#include "mrv/prompts.h"

#include <algorithm>
#include <cmath>
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

// Whether the row is a file, or a directory, already in the folder.
bool existsIn(const std::string& folder, const Cli_Vop31601::BatchFile& row)
{
    std::error_code ignored;
    return !Cli_Vop31601::unusableLocalName(row.name) && fs::exists(fs::path(folder) / row.name, ignored);
}

bool hasDirectory(const std::vector<Cli_Vop31601::BatchFile>& rows)
{
    return std::any_of(rows.begin(), rows.end(), [](const Cli_Vop31601::BatchFile& row) { return row.isDirectory; });
}

// The listing lines of the directories below, read as the grid reads them.
Cli_Vop31601::ListingReader listingReader()
{
    return [](const std::string& line, Cli_Vop31601::BatchFile& entry) {
        ListingEntry parsed;
        if (!listingRowOf(line, parsed) || parsed.name == "." || parsed.name == "..")
            return false;
        entry.name = parsed.name;
        entry.isDirectory = parsed.isDirectory;
        entry.modification = parsed.modification;
        entry.size = -1;
        if (!parsed.isDirectory && !parsed.sizeText.empty()) {
            try {
                entry.size = std::llround(sizeTextToNumber(parsed.sizeText));
            } catch (const EConvertError&) {
                // The size comes with the file then.
            }
        }
        return true;
    };
}

} // namespace

std::optional<Cli_Vop31601::ExistingFiles> TransferLink::askAboutExisting(const std::vector<Cli_Vop31601::BatchFile>& rows,
                                                                         const std::string& folder) const
{
    using Cli_Vop31601::ExistingFiles;
    std::size_t files = 0, directories = 0, existingFiles = 0, existingDirectories = 0;
    for (const auto& row : rows) {
        (row.isDirectory ? directories : files) += 1;
        if (existsIn(folder, row))
            (row.isDirectory ? existingDirectories : existingFiles) += 1;
    }
    if (existingFiles == 0 && existingDirectories == 0)
        return ExistingFiles::Replace;
    std::vector<std::string> parts;
    if (existingFiles > 0)
        parts.push_back(std::to_string(existingFiles) + (files == 1 ? " do " : " dos ") + std::to_string(files)
                        + (files == 1 ? " arquivo" : " arquivos") + (existingFiles == 1 ? " já existe" : " já existem"));
    if (existingDirectories > 0)
        parts.push_back(std::to_string(existingDirectories) + (directories == 1 ? " do " : " dos ")
                        + std::to_string(directories) + (directories == 1 ? " diretório" : " diretórios")
                        + (existingDirectories == 1 ? " já existe" : " já existem"));
    const std::string text = parts.size() == 1 ? parts[0] + " na pasta escolhida."
                                               : parts[0] + " e " + parts[1] + " na pasta escolhida.";
    const int choice = Mrv::prompts().choose(
        batchCaption, text, {"Substituir todos", "Manter os existentes", "Somente novos e alterados", "Cancelar"});
    switch (choice) {
    case 0:
        return ExistingFiles::Replace;
    case 1:
        return ExistingFiles::Keep;
    case 2:
        return ExistingFiles::NewOrChanged;
    default:
        return std::nullopt;
    }
}

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
    std::vector<Cli_Vop31601::BatchFile> rows;
    const int directory = form_.cdsArquivosBOISDIRECTORY->Index();
    const int name = form_.cdsArquivosDSNOME->Index();
    const int size = form_.cdsArquivosFLTAMANHO->Index();
    const int modification = form_.cdsArquivosDSDTHRMODIFICACAO->Index();
    for (int row = 0; row < cdsArquivos.RecordCount(); ++row) {
        Platform::TClientDataSet::RowScope scope(cdsArquivos, row);
        const Platform::TField& sizeField = cdsArquivos.Fields(size);
        const bool isDirectory = cdsArquivos.Fields(directory).AsBoolean();
        rows.push_back({cdsArquivos.Fields(name).AsString(),
                        isDirectory || sizeField.IsNull() ? -1 : static_cast<std::int64_t>(sizeField.AsFloat()),
                        isDirectory, cdsArquivos.Fields(modification).AsString()});
    }
    if (rows.empty()) {
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
    const auto existing = askAboutExisting(rows, *folder);
    if (!existing)
        return;
    if (*existing == Cli_Vop31601::ExistingFiles::Keep && !hasDirectory(rows)) {
        std::erase_if(rows, [&](const Cli_Vop31601::BatchFile& row) { return existsIn(*folder, row); });
        if (rows.empty()) {
            Mrv::prompts().inform(batchCaption, "Todos os arquivos listados já existem na pasta escolhida. "
                                                "Nenhum arquivo foi transferido.");
            return;
        }
    }

    Cli_Vop31601::TransferJob batch = job(0);
    batch.batch = true;
    batch.batchFiles = std::move(rows);
    batch.folder = *folder;
    batch.existing = *existing;
    batch.readListing = listingReader();
    batch.batchProgressText = form_.msgPadrao->Msg("VEL_DOWNLOAD_LOTE");
    run(std::move(batch));
}

} // namespace Cli_Vop31600

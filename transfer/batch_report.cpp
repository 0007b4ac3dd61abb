#include "transfer/batch_report.h"

#include "transfer/transfer_channel.h"

#include <algorithm>

namespace Cli_Vop31601 {

std::optional<std::string> unusableLocalName(const std::string& name)
{
    if (name.empty())
        return "nome vazio";
    if (name == "." || name == "..")
        return "nome \"" + name + "\" não pode ser um arquivo";
    if (name.find_first_of("/\\") != std::string::npos)
        return "o nome contém separador de diretório";
    if (std::any_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }))
        return "o nome contém caracteres de controle";
    return std::nullopt;
}

std::string batchFailureReport(const std::vector<std::pair<std::string, std::string>>& failures,
                               std::size_t maxLines, const std::string& action)
{
    const std::size_t count = failures.size();
    std::string text = "Não foi possível " + action + " " + std::to_string(count)
        + (count == 1 ? " arquivo:" : " arquivos:");
    for (std::size_t i = 0; i < count && i < maxLines; ++i)
        text += "\n" + failures[i].first + ": " + failures[i].second;
    if (count > maxLines) {
        const std::size_t rest = count - maxLines;
        text += "\n... e mais " + std::to_string(rest) + (rest == 1 ? " arquivo." : " arquivos.");
    }
    return text;
}

std::string withoutFullStop(std::string text)
{
    if (!text.empty() && text.back() == '.')
        text.pop_back();
    return text;
}

std::string batchFailureReason(const TransferError& error)
{
    switch (error.kind()) {
    case TransferError::Kind::Unavailable:
        return std::string("não encontrado ou recusado pelo servidor (") + error.what() + ")";
    case TransferError::Kind::NotFound:
        return "não encontrado no servidor";
    default:
        return withoutFullStop(error.what());
    }
}

std::string batchCancelledText(const std::string& cancelled, int completed)
{
    return cancelled + " " + std::to_string(completed)
        + (completed == 1 ? " arquivo concluído." : " arquivos concluídos.");
}

} // namespace Cli_Vop31601

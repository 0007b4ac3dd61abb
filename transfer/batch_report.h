#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Texts and checks of the batch download shared by the screen and the worker.
namespace Cli_Vop31601 {

class TransferError;

// Why a name from the server cannot be a file in the chosen folder (a path separator, "." or "..",
// an empty name, a control character), or nothing when it can.
std::optional<std::string> unusableLocalName(const std::string& name);

// The closing report: "Não foi possível baixar N arquivo(s):" (action: "baixar", "enviar") then
// "name: reason" a line, at most maxLines lines of files and then the count of the rest.
std::string batchFailureReport(const std::vector<std::pair<std::string, std::string>>& failures,
                               std::size_t maxLines = 20, const std::string& action = "baixar");

// A file's reason in the report, told by the kind of failure.
std::string batchFailureReason(const TransferError& error);
// The text without its final full stop (a reason ends no sentence of its own).
std::string withoutFullStop(std::string text);

// "Transferência Cancelada. 3 arquivos concluídos." from the cancellation text.
std::string batchCancelledText(const std::string& cancelled, int completed);

} // namespace Cli_Vop31601

#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Texts and checks of the batch download shared by the screen and the worker.
namespace Cli_Vop31601 {

// Why a name from the server cannot be a file in the chosen folder (a path separator, "." or "..",
// an empty name, a control character), or nothing when it can.
std::optional<std::string> unusableLocalName(const std::string& name);

// The closing report: "Não foi possível baixar N arquivo(s):" then "name: reason" a line, at most
// maxLines lines of files and then the count of the rest.
std::string batchFailureReport(const std::vector<std::pair<std::string, std::string>>& failures,
                               std::size_t maxLines = 20);

// "Transferência Cancelada. 3 arquivos concluídos." from the cancellation text.
std::string batchCancelledText(const std::string& cancelled, int completed);

} // namespace Cli_Vop31601

#pragma once

#include "nfe/directory_summary.h"

#include <QByteArray>
#include <QString>

namespace Cli_Vop31600 {

// The summary as a spreadsheet of the pt-BR kind opens it as it stands: UTF-8 with a BOM, ";" between
// fields, a decimal comma, dates as dd/mm/aaaa, CRLF line ends; one line per invoice (the key in
// groups of four, so that it stays text), then the totals, the missing numbers, the duplicated keys,
// the events without their invoice and the unreadable files.
QByteArray summaryCsv(const Nfe::DirectorySummary& summary, const QString& directory);

} // namespace Cli_Vop31600

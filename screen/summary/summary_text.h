#pragma once

#include "nfe/directory_summary.h"

#include <QLocale>
#include <QString>
#include <QVariantMap>

#include <cstdint>
#include <optional>

// The summary's texts as the window, the export and the driver's dump show them.
namespace Cli_Vop31600::SummaryText {

QString situation(const Nfe::InvoiceRow& row);       // "Autorizada", "Cancelada", "Denegada (302)", ...
QString signature(const Nfe::FileFacts& facts);      // "Válida", "Inválida: <why>", "Sem assinatura"
QString issueDate(const QString& iso);               // "15/03/2024", the issuer's own date
QString money(std::int64_t cents, const QLocale& locale);  // "R$ 1.234,56"
QString plainDecimal(std::int64_t cents);            // "1234,56", for a spreadsheet
QString eventName(const Nfe::FileFacts& event);      // "Cancelamento", ...

// Where the reading stands, beside what was read.
struct ReadingState {
    bool reading = false;
    int done = 0, total = 0;
    std::optional<QString> failure;
    QString directory;
};

// The driver's "resumo": lendo, diretorio, arquivos, a_ler, notas, autorizadas, canceladas, denegadas,
// sem_protocolo, assinaturas_invalidas, ilegiveis, valor_autorizado, faltantes (emitente, modelo,
// serie, de, ate), duplicadas, eventos_sem_nota (arquivo, tipo, chave), arquivos_ilegiveis (arquivo,
// motivo), erro.
QVariantMap dumpState(const Nfe::DirectorySummary& summary, const ReadingState& state, const QLocale& locale);

} // namespace Cli_Vop31600::SummaryText

#include "screen/summary/summary_text.h"

#include "nfe/nfe_display.h"

#include <QDate>
#include <QVariantList>

namespace Cli_Vop31600::SummaryText {

QString situation(const Nfe::InvoiceRow& row)
{
    switch (row.situation) {
    case Nfe::Situation::Authorised:
        return QStringLiteral("Autorizada");
    case Nfe::Situation::Cancelled:
        return QStringLiteral("Cancelada");
    case Nfe::Situation::Denied:
        return QStringLiteral("Denegada (%1)").arg(row.facts->status);
    case Nfe::Situation::NoProtocol:
        return QStringLiteral("Sem protocolo");
    case Nfe::Situation::Other:
        break;
    }
    return QStringLiteral("%1 - %2").arg(row.facts->status, row.facts->reason);
}

QString signature(const Nfe::FileFacts& facts)
{
    switch (facts.signature) {
    case Nfe::SignatureState::Valid:
        return QStringLiteral("Válida");
    case Nfe::SignatureState::Invalid:
        return QStringLiteral("Inválida: %1").arg(facts.signatureReason);
    case Nfe::SignatureState::Absent:
        break;
    }
    return QStringLiteral("Sem assinatura");
}

QString issueDate(const QString& iso)
{
    const QDate day = QDate::fromString(iso.left(10), Qt::ISODate);
    return day.isValid() ? day.toString(QStringLiteral("dd/MM/yyyy")) : iso;
}

QString plainDecimal(std::int64_t cents)
{
    return QStringLiteral("%1,%2").arg(cents / 100).arg(cents % 100, 2, 10, QChar(u'0'));
}

QString money(std::int64_t cents, const QLocale& locale)
{
    return Nfe::formatMoney(QStringLiteral("%1.%2").arg(cents / 100).arg(cents % 100, 2, 10, QChar(u'0')), locale);
}

QString eventName(const Nfe::FileFacts& event) { return Nfe::eventTypeName(event.eventType); }

QVariantMap dumpState(const Nfe::DirectorySummary& summary, const ReadingState& state, const QLocale& locale)
{
    QVariantList missing;
    for (const Nfe::MissingRange& range : summary.missing)
        missing.append(QVariantMap{{"emitente", Nfe::formatTaxId(range.issuerDocument)},
                                   {"modelo", range.model},
                                   {"serie", range.series},
                                   {"de", QVariant::fromValue<qlonglong>(range.from)},
                                   {"ate", QVariant::fromValue<qlonglong>(range.to)}});
    QVariantList orphans;
    for (const Nfe::FileFacts* event : summary.orphanEvents)
        orphans.append(QVariantMap{{"arquivo", event->fileName}, {"tipo", eventName(*event)}, {"chave", event->key}});
    QVariantList unreadable;
    for (const Nfe::FileFacts* file : summary.unreadableFiles)
        unreadable.append(QVariantMap{{"arquivo", file->fileName}, {"motivo", file->problem}});
    return {{"lendo", state.reading},
            {"diretorio", state.directory},
            {"arquivos", summary.files},
            {"a_ler", state.total},
            {"notas", summary.invoices},
            {"autorizadas", summary.authorised},
            {"canceladas", summary.cancelled},
            {"denegadas", summary.denied},
            {"sem_protocolo", summary.withoutProtocol},
            {"assinaturas_invalidas", summary.invalidSignatures},
            {"ilegiveis", summary.unreadable},
            {"valor_autorizado", money(summary.authorisedCents, locale)},
            {"faltantes", missing},
            {"duplicadas", QVariant(summary.duplicates)},
            {"eventos_sem_nota", orphans},
            {"arquivos_ilegiveis", unreadable},
            {"erro", state.failure ? QVariant(*state.failure) : QVariant()}};
}

} // namespace Cli_Vop31600::SummaryText

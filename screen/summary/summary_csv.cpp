#include "screen/summary/summary_csv.h"

#include "screen/summary/summary_text.h"

#include "nfe/access_key.h"
#include "nfe/nfe_display.h"

namespace Cli_Vop31600 {
namespace {

QString field(const QString& text)
{
    if (!text.contains(u';') && !text.contains(u'"') && !text.contains(u'\n') && !text.contains(u'\r'))
        return text;
    return u'"' + QString(text).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

class Sheet {
public:
    void line(const QStringList& fields)
    {
        QStringList quoted;
        for (const QString& text : fields)
            quoted.append(field(text));
        text_ += quoted.join(u';') + QStringLiteral("\r\n");
    }
    void blank() { text_ += QStringLiteral("\r\n"); }
    QByteArray bytes() const { return "\xEF\xBB\xBF" + text_.toUtf8(); }

private:
    QString text_;
};

void totals(Sheet& sheet, const Nfe::DirectorySummary& summary, const QString& directory)
{
    sheet.line({QStringLiteral("Totais")});
    sheet.line({QStringLiteral("Diretório"), directory});
    const std::pair<const char*, int> counts[] = {
        {"Arquivos lidos", summary.files},       {"Notas", summary.invoices},
        {"Autorizadas", summary.authorised},     {"Canceladas", summary.cancelled},
        {"Denegadas", summary.denied},           {"Sem protocolo", summary.withoutProtocol},
        {"Assinaturas inválidas", summary.invalidSignatures}, {"Ilegíveis", summary.unreadable}};
    for (const auto& [caption, count] : counts)
        sheet.line({QString::fromUtf8(caption), QString::number(count)});
    sheet.line({QStringLiteral("Valor autorizado"), SummaryText::plainDecimal(summary.authorisedCents)});
}

void findings(Sheet& sheet, const Nfe::DirectorySummary& summary)
{
    sheet.blank();
    sheet.line({QStringLiteral("Números faltantes")});
    sheet.line({QStringLiteral("Emitente"), QStringLiteral("Modelo"), QStringLiteral("Série"), QStringLiteral("De"),
                QStringLiteral("Até")});
    for (const Nfe::MissingRange& range : summary.missing)
        sheet.line({Nfe::formatTaxId(range.issuerDocument), range.model, range.series, QString::number(range.from),
                    QString::number(range.to)});
    sheet.blank();
    sheet.line({QStringLiteral("Chaves duplicadas")});
    for (const QString& key : summary.duplicates)
        sheet.line({Nfe::groupKey(key)});
    sheet.blank();
    sheet.line({QStringLiteral("Eventos sem a nota")});
    sheet.line({QStringLiteral("Arquivo"), QStringLiteral("Tipo"), QStringLiteral("Chave da NF-e")});
    for (const Nfe::FileFacts* event : summary.orphanEvents)
        sheet.line({event->fileName, SummaryText::eventName(*event), Nfe::groupKey(event->key)});
    sheet.blank();
    sheet.line({QStringLiteral("Arquivos ilegíveis")});
    sheet.line({QStringLiteral("Arquivo"), QStringLiteral("Motivo")});
    for (const Nfe::FileFacts* file : summary.unreadableFiles)
        sheet.line({file->fileName, file->problem});
}

} // namespace

QByteArray summaryCsv(const Nfe::DirectorySummary& summary, const QString& directory)
{
    Sheet sheet;
    sheet.line({QStringLiteral("Chave de acesso"), QStringLiteral("Modelo"), QStringLiteral("Série"),
                QStringLiteral("Número"), QStringLiteral("Emissão"), QStringLiteral("Emitente"),
                QStringLiteral("CNPJ/CPF do emitente"), QStringLiteral("Destinatário"),
                QStringLiteral("CNPJ/CPF do destinatário"), QStringLiteral("Valor"), QStringLiteral("Situação"),
                QStringLiteral("Assinatura"), QStringLiteral("Arquivo")});
    for (const Nfe::InvoiceRow& row : summary.rows) {
        const Nfe::FileFacts& facts = *row.facts;
        sheet.line({Nfe::groupKey(facts.key), facts.model, facts.series, QString::number(facts.number),
                    SummaryText::issueDate(facts.issued), facts.issuerName, Nfe::formatTaxId(facts.issuerDocument),
                    facts.recipientName, Nfe::formatTaxId(facts.recipientDocument),
                    SummaryText::plainDecimal(facts.cents), SummaryText::situation(row),
                    SummaryText::signature(facts), facts.fileName});
    }
    sheet.blank();
    totals(sheet, summary, directory);
    findings(sheet, summary);
    return sheet.bytes();
}

} // namespace Cli_Vop31600

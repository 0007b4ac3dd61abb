#include "screen/summary/summary_table.h"

#include "screen/summary/summary_text.h"

#include "nfe/access_key.h"

#include <QBrush>
#include <QColor>

namespace Cli_Vop31600 {
namespace {

enum Column { Key, Series, Number, Issued, Issuer, Recipient, Value, Situation, Signature, Columns };

} // namespace

SummaryTable::SummaryTable(QObject* parent) : QAbstractTableModel(parent), locale_(QLocale::system()) {}

void SummaryTable::show(const std::vector<Nfe::FileFacts>& files)
{
    beginResetModel();
    files_ = files;
    summary_ = Nfe::summarise(files_);
    endResetModel();
}

QStringList SummaryTable::headers()
{
    return {QStringLiteral("Chave de acesso"), QStringLiteral("Série"), QStringLiteral("Número"),
            QStringLiteral("Emissão"), QStringLiteral("Emitente"), QStringLiteral("Destinatário"),
            QStringLiteral("Valor"), QStringLiteral("Situação"), QStringLiteral("Assinatura")};
}

int SummaryTable::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(summary_.rows.size());
}

int SummaryTable::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : Columns; }

QVariant SummaryTable::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= Columns)
        return {};
    return headers().at(section);
}

QVariant SummaryTable::text(const Nfe::InvoiceRow& row, int column) const
{
    const Nfe::FileFacts& facts = *row.facts;
    switch (column) {
    case Key:
        return Nfe::groupKey(facts.key);
    case Series:
        return facts.series;
    case Number:
        return QString::number(facts.number);
    case Issued:
        return SummaryText::issueDate(facts.issued);
    case Issuer:
        return facts.issuerName;
    case Recipient:
        return facts.recipientName;
    case Value:
        return SummaryText::money(facts.cents, locale_);
    case Situation:
        return SummaryText::situation(row);
    case Signature:
        return SummaryText::signature(facts);
    default:
        return {};
    }
}

QVariant SummaryTable::sortKey(const Nfe::InvoiceRow& row, int column) const
{
    const Nfe::FileFacts& facts = *row.facts;
    switch (column) {
    case Series:
        return facts.series.toLongLong();
    case Number:
        return QVariant::fromValue<qlonglong>(facts.number);
    case Issued:
        return facts.issued;
    case Value:
        return QVariant::fromValue<qlonglong>(facts.cents);
    default:
        return text(row, column);
    }
}

QVariant SummaryTable::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const Nfe::InvoiceRow& row = summary_.rows[static_cast<std::size_t>(index.row())];
    if (role == Qt::DisplayRole)
        return text(row, index.column());
    if (role == Qt::UserRole)
        return sortKey(row, index.column());
    if (role == Qt::ForegroundRole && row.facts->signature == Nfe::SignatureState::Invalid)
        return QBrush(QColor(0xb0, 0, 0));
    if (role == Qt::TextAlignmentRole && (index.column() == Number || index.column() == Value))
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

} // namespace Cli_Vop31600

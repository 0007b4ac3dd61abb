#pragma once

#include "nfe/directory_summary.h"

#include <QAbstractTableModel>
#include <QLocale>

#include <vector>

namespace Cli_Vop31600 {

// One row per invoice of the summary, for a sorting view: Qt::UserRole holds what a column sorts by
// (numbers as numbers, dates as ISO text). Rows whose signature does not hold are red.
class SummaryTable : public QAbstractTableModel {
    Q_OBJECT
public:
    static QStringList headers();
    explicit SummaryTable(QObject* parent);

    // Shows the invoices of files (copied: the summary points into the copy).
    void show(const std::vector<Nfe::FileFacts>& files);
    const Nfe::DirectorySummary& summary() const { return summary_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QVariant text(const Nfe::InvoiceRow& row, int column) const;
    QVariant sortKey(const Nfe::InvoiceRow& row, int column) const;

    std::vector<Nfe::FileFacts> files_;
    Nfe::DirectorySummary summary_;
    QLocale locale_;
};

} // namespace Cli_Vop31600

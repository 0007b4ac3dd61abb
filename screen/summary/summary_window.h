#pragma once

#include "screen/summary/summary_text.h"

#include "nfe/directory_summary.h"

#include <QWidget>

#include <vector>

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTableView;

namespace Cli_Vop31600 {

class SummaryTable;

// "Resumo do diretório": a modeless window with the reading's progress and Abort, one sortable row
// per invoice, the totals, and what needs attention (missing numbers, duplicates, events without
// their invoice, unreadable files).
class SummaryWindow : public QWidget {
    Q_OBJECT
public:
    explicit SummaryWindow(QWidget* screen);

    void showProgress(const SummaryText::ReadingState& state);
    // The rows and totals of these files (the table keeps a copy).
    void showFiles(const std::vector<Nfe::FileFacts>& files);
    const Nfe::DirectorySummary& summary() const;

signals:
    void abortRequested();
    void exportRequested();
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QPushButton* addButton(const QString& text, const char* objectName);
    void showTotals(const Nfe::DirectorySummary& summary);
    void showFindings(const Nfe::DirectorySummary& summary);

    SummaryTable* table_ = nullptr;
    QLabel* lblDiretorio = nullptr;
    QProgressBar* prbResumo = nullptr;
    QLabel* lblProgresso = nullptr;
    QPushButton* btnAbortarResumo = nullptr;
    QPushButton* btnExportarResumo = nullptr;
    QTableView* grdResumo = nullptr;
    QLabel* lblTotais = nullptr;
    QPlainTextEdit* txtOcorrencias = nullptr;
    std::optional<QString> failure_;
};

} // namespace Cli_Vop31600

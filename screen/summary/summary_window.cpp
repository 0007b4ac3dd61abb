#include "screen/summary/summary_window.h"

#include "screen/design/tool_window.h"
#include "screen/summary/summary_table.h"

#include "nfe/access_key.h"
#include "nfe/nfe_display.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

namespace Cli_Vop31600 {

SummaryWindow::SummaryWindow(QWidget* screen) : QWidget(screen, Qt::Tool)
{
    setUpToolWindow(*this, "frmResumoDiretorio", QStringLiteral("Resumo do diretório"));
    auto* page = new QVBoxLayout(this);
    lblDiretorio = addHeadingLabel(*this, *page, "lblDiretorio");

    auto* bar = new QHBoxLayout;
    prbResumo = new QProgressBar(this);
    prbResumo->setObjectName(QStringLiteral("prbResumo"));
    lblProgresso = new QLabel(this);
    lblProgresso->setObjectName(QStringLiteral("lblProgresso"));
    bar->addWidget(prbResumo, 1);
    bar->addWidget(lblProgresso);
    page->addLayout(bar);
    btnAbortarResumo = addButton(QStringLiteral("Abortar"), "btnAbortarResumo");
    btnExportarResumo = addButton(QStringLiteral("Exportar CSV..."), "btnExportarResumo");
    bar->addWidget(btnAbortarResumo);
    bar->addWidget(btnExportarResumo);
    connect(btnAbortarResumo, &QPushButton::clicked, this, &SummaryWindow::abortRequested);
    connect(btnExportarResumo, &QPushButton::clicked, this, &SummaryWindow::exportRequested);

    table_ = new SummaryTable(this);
    auto* sorted = new QSortFilterProxyModel(this);
    sorted->setSourceModel(table_);
    sorted->setSortRole(Qt::UserRole);
    grdResumo = new QTableView(this);
    grdResumo->setObjectName(QStringLiteral("grdResumo"));
    grdResumo->setModel(sorted);
    grdResumo->setSortingEnabled(true);
    grdResumo->sortByColumn(-1, Qt::AscendingOrder);  // the summary's own order until a title is clicked
    grdResumo->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdResumo->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdResumo->verticalHeader()->hide();
    grdResumo->horizontalHeader()->setStretchLastSection(true);
    // Column widths from a sample of rows: measuring every cell of thousands would stall the screen.
    grdResumo->horizontalHeader()->setResizeContentsPrecision(50);
    page->addWidget(grdResumo, 1);

    lblTotais = new QLabel(this);
    lblTotais->setObjectName(QStringLiteral("lblTotais"));
    lblTotais->setTextFormat(Qt::RichText);
    page->addWidget(lblTotais);
    txtOcorrencias = new QPlainTextEdit(this);
    txtOcorrencias->setObjectName(QStringLiteral("txtOcorrencias"));
    txtOcorrencias->setReadOnly(true);
    txtOcorrencias->setMaximumHeight(120);
    page->addWidget(txtOcorrencias);
    resize(960, 600);
}

QPushButton* SummaryWindow::addButton(const QString& text, const char* objectName)
{
    auto* button = new QPushButton(text, this);
    button->setObjectName(QString::fromLatin1(objectName));
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

void SummaryWindow::closeEvent(QCloseEvent* event)
{
    emit closed();
    event->accept();
}

const Nfe::DirectorySummary& SummaryWindow::summary() const { return table_->summary(); }

void SummaryWindow::showProgress(const SummaryText::ReadingState& state)
{
    lblDiretorio->setText(state.directory);
    prbResumo->setRange(0, std::max(state.total, 1));
    prbResumo->setValue(state.total ? state.done : 1);
    QString text = state.reading ? QStringLiteral("Lendo %1 de %2 arquivos...").arg(state.done).arg(state.total)
                                 : QStringLiteral("%1 de %2 arquivos lidos").arg(state.done).arg(state.total);
    if (!state.reading && state.done < state.total && !state.failure)
        text += QStringLiteral(" (leitura interrompida)");
    lblProgresso->setText(text);
    btnAbortarResumo->setEnabled(state.reading);
    btnExportarResumo->setEnabled(!state.reading);
    failure_ = state.failure;
}

void SummaryWindow::showFiles(const std::vector<Nfe::FileFacts>& files)
{
    table_->show(files);
    grdResumo->resizeColumnsToContents();
    showTotals(table_->summary());
    showFindings(table_->summary());
}

void SummaryWindow::showTotals(const Nfe::DirectorySummary& summary)
{
    const QLocale locale = QLocale::system();
    const QString invalid = summary.invalidSignatures
                                ? QStringLiteral("<span style=\"color:#b00000\">Assinaturas inválidas: %1</span>")
                                      .arg(summary.invalidSignatures)
                                : QStringLiteral("Assinaturas inválidas: 0");
    lblTotais->setText(QStringLiteral("Arquivos: %1 &nbsp; Notas: %2 &nbsp; <b>Autorizadas: %3 (%4)</b> &nbsp; "
                                      "Canceladas: %5 &nbsp; Denegadas: %6 &nbsp; Sem protocolo: %7 &nbsp; %8 &nbsp; "
                                      "Ilegíveis: %9")
                           .arg(summary.files)
                           .arg(summary.invoices)
                           .arg(summary.authorised)
                           .arg(SummaryText::money(summary.authorisedCents, locale).toHtmlEscaped())
                           .arg(summary.cancelled)
                           .arg(summary.denied)
                           .arg(summary.withoutProtocol)
                           .arg(invalid)
                           .arg(summary.unreadable));
}

void SummaryWindow::showFindings(const Nfe::DirectorySummary& summary)
{
    QStringList lines;
    if (failure_)
        lines.append(*failure_);
    for (const Nfe::MissingRange& range : summary.missing)
        lines.append(range.from == range.to
                         ? QStringLiteral("Número faltante: %1, modelo %2, série %3: %4")
                               .arg(Nfe::formatTaxId(range.issuerDocument), range.model, range.series)
                               .arg(range.from)
                         : QStringLiteral("Números faltantes: %1, modelo %2, série %3: %4 a %5")
                               .arg(Nfe::formatTaxId(range.issuerDocument), range.model, range.series)
                               .arg(range.from)
                               .arg(range.to));
    for (const QString& key : summary.duplicates)
        lines.append(QStringLiteral("Chave em mais de um arquivo: %1").arg(Nfe::groupKey(key)));
    for (const Nfe::FileFacts* event : summary.orphanEvents)
        lines.append(QStringLiteral("Evento sem a nota entre os arquivos: %1 (%2, chave %3)")
                         .arg(event->fileName, SummaryText::eventName(*event), Nfe::groupKey(event->key)));
    for (const Nfe::FileFacts* file : summary.unreadableFiles)
        lines.append(QStringLiteral("Ilegível: %1: %2").arg(file->fileName, file->problem));
    txtOcorrencias->setPlainText(lines.isEmpty() ? QStringLiteral("Nenhuma ocorrência.") : lines.join(u'\n'));
}

} // namespace Cli_Vop31600

#include "screen/summary/summary_control.h"

#include "screen/ctrl_arq_xml_nfe.h"
#include "screen/screen_globals.h"
#include "screen/summary/summary_csv.h"
#include "screen/summary/summary_window.h"

#include "mrv/prompts.h"

#include <QLineEdit>
#include <QSaveFile>

namespace Cli_Vop31600 {
namespace {

// The table is laid out anew at most this often while files arrive; the counts follow every report.
constexpr qint64 kTableIntervalMs = 1000;
const char* const exportCaption = "Exportar Resumo";

} // namespace

SummaryControl::SummaryControl(TfrmCtrlArqXMLNFe& form) : QObject(&form), form_(form) {}

SummaryControl::~SummaryControl() { stop(); }

std::vector<ListedFile> SummaryControl::listedFiles() const
{
    // The rows shown, as the find filter and the sort leave them; directories and other files aside.
    std::vector<ListedFile> files;
    Platform::TClientDataSet& rows = form_.cdsArquivos;
    if (!rows.Active())
        return files;
    for (int row = 0; row < rows.RecordCount(); ++row) {
        Platform::TClientDataSet::RowScope scope(rows, row);
        const std::string name = form_.cdsArquivosDSNOME->AsString();
        if (form_.cdsArquivosBOISDIRECTORY->AsBoolean() || !QString::fromStdString(name).endsWith(u".xml", Qt::CaseInsensitive))
            continue;
        const Platform::TField& size = *form_.cdsArquivosFLTAMANHO;
        files.push_back({name, size.IsNull() ? -1 : static_cast<std::int64_t>(size.AsFloat()),
                         form_.cdsArquivosDSDTHRMODIFICACAO->AsString()});
    }
    return files;
}

SummarySource SummaryControl::source() const
{
    SummarySource source;
    source.gateway = boHttp;
    source.ftp = form_.transferLink.ftpProfile();
    source.settings = Platform::GatewaySettings{stConnectStr, SHttpPort, InHttpHttps};
    source.directory = form_.edtDiretorio->text().toStdString();
    return source;
}

void SummaryControl::open()
{
    if (!window_) {
        window_ = new SummaryWindow(&form_);
        connect(window_, &SummaryWindow::abortRequested, this, &SummaryControl::abort);
        connect(window_, &SummaryWindow::exportRequested, this, &SummaryControl::exportCsv);
        connect(window_, &SummaryWindow::closed, this, &SummaryControl::windowClosed);
        const QPoint centre = form_.mapToGlobal(form_.rect().center());
        window_->move(centre - QPoint(window_->width() / 2, window_->height() / 2));
    }
    window_->show();
    window_->raise();
    // The screen keeps the keys, as it does beside the details window.
    form_.window()->activateWindow();
    form_.setFocus();
    if (reader_)
        return;
    std::vector<ListedFile> files = listedFiles();
    facts_.clear();
    state_ = SummaryText::ReadingState{true, 0, static_cast<int>(files.size()), std::nullopt,
                                       form_.edtDiretorio->text()};
    window_->showProgress(state_);
    window_->showFiles(facts_);
    sinceTable_.start();
    QPointer<SummaryControl> self(this);
    reader_ = SummaryReader::start(source(), std::move(files), [self] {
        if (self)
            self->progressArrived();
    });
}

void SummaryControl::progressArrived()
{
    if (!reader_)
        return;
    SummaryProgressStep step = reader_->take();
    for (Nfe::FileFacts& facts : step.newFacts)
        facts_.push_back(std::move(facts));
    state_.done = step.done;
    state_.failure = step.failure;
    state_.reading = !step.finished;
    if (step.finished)
        reader_.reset();
    if (!window_)
        return;
    window_->showProgress(state_);
    if (step.finished || sinceTable_.elapsed() >= kTableIntervalMs) {
        window_->showFiles(facts_);
        sinceTable_.restart();
    }
}

void SummaryControl::abort()
{
    if (reader_)
        reader_->stop();
}

void SummaryControl::stop()
{
    if (reader_) {
        reader_->stop();
        reader_->WaitFor();
    }
    reader_.reset();
    state_.reading = false;
}

void SummaryControl::windowClosed()
{
    stop();
    if (window_)
        window_->deleteLater();
    window_ = nullptr;
}

QVariant SummaryControl::state() const
{
    if (!window_)
        return {};
    const Nfe::DirectorySummary summary = Nfe::summarise(facts_);
    return SummaryText::dumpState(summary, state_, QLocale::system());
}

void SummaryControl::exportCsv()
{
    if (!window_ || reader_)
        return;
    QString offered = state_.directory.section(u'/', -1, -1, QString::SectionSkipEmpty);
    Mrv::FileDialogOptions options;
    options.title = exportCaption;
    options.filter = "Planilha CSV (*.csv)|*.csv";
    options.fileName = "Resumo " + (offered.isEmpty() ? std::string("do diretório") : offered.toStdString()) + ".csv";
    options.overwritePrompt = true;
    const std::optional<std::string> path = Mrv::prompts().saveFile(options);
    if (!path || path->empty())
        return;
    const Nfe::DirectorySummary summary = Nfe::summarise(facts_);
    const QByteArray bytes = summaryCsv(summary, state_.directory);
    // Written beside the target and renamed over it: a failure leaves any older file as it was.
    QSaveFile file(QString::fromStdString(*path));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        Mrv::prompts().error(exportCaption, "Não foi possível gravar o arquivo \"" + *path + "\": "
                                                + file.errorString().toStdString() + ". O resumo não foi exportado.");
        return;
    }
    Mrv::prompts().inform(exportCaption, "Resumo exportado para \"" + *path + "\".");
}

} // namespace Cli_Vop31600

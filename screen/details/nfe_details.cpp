#include "screen/details/nfe_details.h"

#include "screen/ctrl_arq_xml_nfe.h"
#include "screen/browse/memory_sink.h"
#include "screen/details/nfe_details_window.h"
#include "screen/browse/remote_browser.h"

#include "nfe/nfe_display.h"
#include "nfe/nfe_parser.h"
#include "platform/ftp/ftp_errors.h"
#include "platform/http/id_http.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QTableView>
#include <QThread>

#include <algorithm>

namespace Cli_Vop31600 {

NfeDetails::NfeDetails(TfrmCtrlArqXMLNFe& form, std::function<RemoteBrowser*()> browser)
    : QObject(&form), form_(form), browser_(std::move(browser)), outerLoopLevel_(QThread::currentThread()->loopLevel())
{
    action_ = new QAction(QStringLiteral("Detalhes da NF-e"), &form);
    action_->setObjectName(QStringLiteral("actDetalhes"));
    action_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
    action_->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    form.addAction(action_);
    connect(action_, &QAction::triggered, this, &NfeDetails::open);

    window_ = new NfeDetailsWindow(&form);
    debounce_.setSingleShot(true);
    debounce_.setInterval(kDebounceMs);
    connect(&debounce_, &QTimer::timeout, this, [this] { showCurrentRow(false); });
}

// First opened beside the screen (or over its right edge when the desktop has no room), never at
// the desktop's corner over the grid.
void NfeDetails::placeBesideTheScreen()
{
    const QRect screen(form_.mapToGlobal(QPoint(0, 0)), form_.size());
    QRect available = screen;
    if (const QScreen* display = form_.screen())
        available = display->availableGeometry();
    const QSize size = window_->size().expandedTo(window_->sizeHint());
    int x = screen.right() + 8;
    if (x + size.width() > available.right())
        x = std::max(available.left(), available.right() - size.width());
    const int y = std::clamp(screen.top(), available.top(), std::max(available.top(), available.bottom() - size.height()));
    window_->move(x, y);
}

void NfeDetails::addMenuEntries(QMenu& menu) const { menu.addAction(action_); }

void NfeDetails::open()
{
    if (!window_->isVisible())
        placeBesideTheScreen();
    window_->show();
    window_->raise();
    // Some window systems activate a new window whatever it asks: the screen takes the keys back.
    form_.window()->activateWindow();
    form_.setFocus();
    showCurrentRow(true);
}

void NfeDetails::rowChanged()
{
    if (window_->isVisible())
        debounce_.start();
}

QVariant NfeDetails::state() const
{
    return window_->isVisible() ? QVariant(window_->details().toVariant()) : QVariant();
}

NfeDetails::Row NfeDetails::currentRow() const
{
    Row row;
    row.directory = form_.edtDiretorio->text();
    if (form_.cdsArquivos.IsEmpty())
        return row;
    row.name = QString::fromStdString(form_.cdsArquivosDSNOME->AsString());
    row.isDirectory = form_.cdsArquivosBOISDIRECTORY->AsBoolean();
    row.size = static_cast<std::int64_t>(form_.cdsArquivosFLTAMANHO->AsFloat());
    return row;
}

bool NfeDetails::clientFree() const
{
    const RemoteBrowser* browser = browser_();
    return !reading_ && !(browser && browser->busy()) && !form_.clientWait.waiting()
           && QThread::currentThread()->loopLevel() <= std::max(outerLoopLevel_, 1);
}

void NfeDetails::showCurrentRow(bool force)
{
    if (!window_->isVisible())
        return;
    if (!clientFree()) {
        debounce_.start();
        return;
    }
    const Row row = currentRow();
    // A reload of the same directory leaves the shown file as it was.
    if (!force && row == shown_ && !window_->details().error)
        return;
    shown_ = row;
    if (row.name.isEmpty())
        return window_->showDetails(row.name, Nfe::failure(QStringLiteral("Nenhum arquivo selecionado.")));
    if (row.isDirectory)
        return window_->showDetails(row.name, Nfe::failure(QStringLiteral("É um diretório: selecione um arquivo XML.")));
    if (!row.name.endsWith(QLatin1String(".xml"), Qt::CaseInsensitive))
        return window_->showDetails(row.name, Nfe::failure(QStringLiteral("Não é um arquivo XML (.xml).")));
    if (row.size > kMaxBytes)
        return window_->showDetails(
            row.name, Nfe::failure(QStringLiteral("O arquivo tem %1; os detalhes são lidos apenas de arquivos de até 5 MB.")
                                       .arg(QString::fromStdString(form_.ConvertBytes(row.size)))));
    RemoteBrowser* browser = browser_();
    bool reachable = false;
    try {
        reachable = browser && browser->connected();
    } catch (const std::exception&) {
        // The session could not be opened again: said below as no connection.
    }
    if (!reachable)
        return window_->showDetails(
            row.name, Nfe::failure(QStringLiteral("Sem conexão com o servidor. Use Atualizar (Ctrl+A) para conectar de novo.")));

    reading_ = true;
    window_->showReading(row.name);
    Nfe::DetailsText details;
    try {
        const std::string bytes = browser->read(row.name.toStdString(), row.size, kMaxBytes);
        details = Nfe::describe(Nfe::parseDocument(QByteArray::fromStdString(bytes)), row.name, QLocale::system());
    } catch (const std::exception& error) {
        details = Nfe::failure(readFailure(row, error));
    }
    reading_ = false;
    window_->showDetails(row.name, details);
    // The row may have moved while the file came in.
    if (!(currentRow() == row))
        debounce_.start();
}

QString NfeDetails::readFailure(const Row& row, const std::exception& error) const
{
    const auto* ftp = dynamic_cast<const Platform::FtpError*>(&error);
    const auto* http = dynamic_cast<const Platform::HttpError*>(&error);
    if (dynamic_cast<const FileTooLarge*>(&error))
        return QStringLiteral("O arquivo passa de 5 MB; os detalhes são lidos apenas de arquivos de até 5 MB.");
    if ((ftp && ftp->ReplyCode() == 550) || (http && http->StatusCode() == 404))
        return QStringLiteral("O arquivo %1 não está mais no servidor (foi removido ou renomeado depois da listagem).")
            .arg(row.name);
    QString cause = QString::fromStdString(error.what()).trimmed();
    while (cause.endsWith(u'.'))
        cause.chop(1);
    // A reply's text is the server's own, perhaps in English: say first what it means.
    if (ftp && ftp->ReplyCode() >= 400)
        cause = QStringLiteral("o servidor interrompeu ou recusou a transferência (%1)").arg(cause);
    return QStringLiteral("Não foi possível ler o arquivo %1: %2.").arg(row.name, cause);
}

} // namespace Cli_Vop31600

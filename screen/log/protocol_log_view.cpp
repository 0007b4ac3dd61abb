#include "screen/log/protocol_log_view.h"

#include "platform/common/protocol_log.h"

#include <QAction>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QWidget>

namespace Cli_Vop31600 {

ProtocolLogView::ProtocolLogView(QWidget& form) : QObject(&form), form_(form)
{
    action_ = new QAction(QStringLiteral("Log de protocolo"), &form);
    action_->setObjectName(QStringLiteral("actLogProtocolo"));
    action_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    action_->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    form.addAction(action_);
    connect(action_, &QAction::triggered, this, &ProtocolLogView::open);
    follow_.setInterval(500);
    connect(&follow_, &QTimer::timeout, this, &ProtocolLogView::refresh);
}

bool ProtocolLogView::isOpen() const { return window_ && window_->isVisible(); }

void ProtocolLogView::open()
{
    if (!window_) {
        // A top-level window of its own: the screen's layout stays as it is.
        auto* window = new QWidget(&form_, Qt::Window);
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->setObjectName(QStringLiteral("frmLogProtocolo"));
        window->setWindowTitle(QStringLiteral("Log de protocolo"));
        text_ = new QPlainTextEdit(window);
        text_->setObjectName(QStringLiteral("memLogProtocolo"));
        text_->setReadOnly(true);
        text_->setLineWrapMode(QPlainTextEdit::NoWrap);
        text_->setMaximumBlockCount(static_cast<int>(Platform::ProtocolLog::kSessionLines));
        text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        auto* layout = new QVBoxLayout(window);
        layout->setContentsMargins(4, 4, 4, 4);
        layout->addWidget(text_);
        window->resize(820, 420);
        window_ = window;
        shown_ = 0;
        connect(window, &QObject::destroyed, &follow_, &QTimer::stop);
    }
    refresh();
    window_->show();
    window_->raise();
    follow_.start();
}

void ProtocolLogView::refresh()
{
    if (!window_)
        return;
    const Platform::ProtocolLog& log = Platform::ProtocolLog::instance();
    const std::uint64_t written = log.written();
    if (written == shown_)
        return;
    const auto lines = log.sessionLines();
    const std::uint64_t fresh = written - shown_;
    QScrollBar* bar = text_->verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    if (shown_ == 0 || fresh >= lines.size()) {
        QStringList all;
        all.reserve(static_cast<int>(lines.size()));
        for (const auto& line : lines)
            all.append(QString::fromStdString(line));
        text_->setPlainText(all.join(QLatin1Char('\n')));
    } else {
        for (std::size_t i = lines.size() - static_cast<std::size_t>(fresh); i < lines.size(); ++i)
            text_->appendPlainText(QString::fromStdString(lines[i]));
    }
    shown_ = written;
    if (atEnd)
        bar->setValue(bar->maximum());
}

} // namespace Cli_Vop31600

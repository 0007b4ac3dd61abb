#include "screen/find/find_bar.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QStyle>
#include <QToolButton>

namespace Cli_Vop31600 {

FindBar::FindBar(Platform::TClientDataSet& dataSet, const std::string& field, QWidget* parent)
    : QFrame(parent), dataSet_(&dataSet)
{
    dataSet.SetFilterField(field);
    setObjectName(QStringLiteral("panLocalizar"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 1, 4, 1);
    row->setSpacing(6);
    auto* caption = new QLabel(QStringLiteral("Localizar:"), this);
    edtLocalizar = new QLineEdit(this);
    edtLocalizar->setObjectName(QStringLiteral("edtLocalizar"));
    edtLocalizar->setPlaceholderText(QStringLiteral("parte do nome ou da chave"));
    edtLocalizar->setClearButtonEnabled(true);
    caption->setBuddy(edtLocalizar);
    lblContagem = new QLabel(this);
    lblContagem->setObjectName(QStringLiteral("lblContagem"));
    btnFecharLocalizar = new QToolButton(this);
    btnFecharLocalizar->setObjectName(QStringLiteral("btnFecharLocalizar"));
    btnFecharLocalizar->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    btnFecharLocalizar->setToolTip(QStringLiteral("Fechar (Esc)"));
    btnFecharLocalizar->setAutoRaise(true);
    // Buttons never take the focus: the screen's shortcuts need it inside the screen.
    btnFecharLocalizar->setFocusPolicy(Qt::NoFocus);
    row->addWidget(caption);
    row->addWidget(edtLocalizar, 1);
    row->addWidget(lblContagem);
    row->addWidget(btnFecharLocalizar);

    connect(edtLocalizar, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (dataSet_)
            dataSet_->SetFilterText(text.toStdString());
        updateCount();
    });
    connect(btnFecharLocalizar, &QToolButton::clicked, this, &FindBar::closeBar);
    edtLocalizar->installEventFilter(this);
    dataSet.AddObserver(this);
    hide();
}

FindBar::~FindBar()
{
    if (dataSet_)
        dataSet_->RemoveObserver(this);
}

void FindBar::openBar()
{
    show();
    updateCount();
    edtLocalizar->setFocus(Qt::ShortcutFocusReason);
    edtLocalizar->selectAll();
}

void FindBar::closeBar()
{
    edtLocalizar->clear();
    hide();
    if (leaveFocus)
        leaveFocus();
}

QVariantMap FindBar::state() const
{
    const int shown = dataSet_ && dataSet_->Active() ? dataSet_->RecordCount() : 0;
    const int total = dataSet_ && dataSet_->Active() ? dataSet_->TotalRecordCount() : 0;
    return {{"text", dataSet_ ? QString::fromStdString(dataSet_->FilterText()) : QString()},
            {"shown", shown},
            {"total", total}};
}

void FindBar::dataSetChanged()
{
    // A reload posts row after row: count once, when the loading is over.
    if (countQueued_ || !isVisible())
        return;
    countQueued_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            countQueued_ = false;
            updateCount();
        },
        Qt::QueuedConnection);
}

void FindBar::dataSetDestroyed() { dataSet_ = nullptr; }

void FindBar::updateCount()
{
    const QVariantMap counts = state();
    const QLocale locale;
    lblContagem->setText(QStringLiteral("%1 de %2").arg(locale.toString(counts["shown"].toInt()),
                                                          locale.toString(counts["total"].toInt())));
}

bool FindBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == edtLocalizar && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Escape) {
            closeBar();
            return true;
        }
        // Enter or Down steps into the rows found, the bar staying open.
        if ((key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Down) && leaveFocus) {
            leaveFocus();
            return true;
        }
    }
    return QFrame::eventFilter(watched, event);
}

} // namespace Cli_Vop31600

#include "platform/widgets/status_bar.h"

#include <QLabel>
#include <QPainter>

namespace Platform {
namespace {

class DrawnPanel : public QWidget {
public:
    DrawnPanel(TStatusBar* bar, int index) : QWidget(bar), bar_(bar), index_(index) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        if (!bar_->OnDrawPanel)
            return;
        QPainter canvas(this);
        bar_->OnDrawPanel(canvas, index_, rect());
    }

private:
    TStatusBar* bar_;
    int index_;
};

} // namespace

TStatusBar::TStatusBar(QWidget* parent) : QStatusBar(parent)
{
    setSizeGripEnabled(false);
    setFixedHeight(19);
}

int TStatusBar::AddPanel(int width, bool ownerDrawn)
{
    const int index = static_cast<int>(panels_.size());
    QWidget* panel = nullptr;
    if (ownerDrawn) {
        panel = new DrawnPanel(this, index);
    } else {
        auto* label = new QLabel(this);
        label->setIndent(2);
        panel = label;
    }
    panel->setObjectName(QStringLiteral("StatusBarPanel%1").arg(index));
    panel->setFixedWidth(width);
    addWidget(panel);
    panels_.push_back(panel);
    return index;
}

int TStatusBar::PanelCount() const { return static_cast<int>(panels_.size()); }

QString TStatusBar::PanelText(int index) const
{
    if (auto* label = qobject_cast<QLabel*>(Panel(index)))
        return label->text();
    return {};
}

void TStatusBar::SetPanelText(int index, const QString& text)
{
    if (auto* label = qobject_cast<QLabel*>(Panel(index)))
        label->setText(text);
}

QWidget* TStatusBar::Panel(int index) const
{
    return index >= 0 && index < PanelCount() ? panels_[static_cast<std::size_t>(index)] : nullptr;
}

void TStatusBar::RepaintPanels()
{
    for (QWidget* panel : panels_)
        if (!qobject_cast<QLabel*>(panel))
            panel->repaint();
}

} // namespace Platform

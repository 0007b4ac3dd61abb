#include "platform/widgets/status_bar.h"

#include <QLabel>
#include <QLayout>
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
    if (isVisible())
        settlePanelHeights();
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

void TStatusBar::showEvent(QShowEvent* event)
{
    QStatusBar::showEvent(event);
    settlePanelHeights();
}

// A label whose height is free asks every layout up to the window to run again whenever its text
// changes, and the status bar then repaints whole, the window beneath it included: a transfer's
// speed text would do that many times a second. The bar's height is fixed, so once the layout has
// placed the text panels their heights are fixed where it put them, and a new text repaints only
// its own panel.
void TStatusBar::settlePanelHeights()
{
    if (layout())
        layout()->activate();
    for (QWidget* panel : panels_)
        if (qobject_cast<QLabel*>(panel) && panel->minimumHeight() != panel->maximumHeight())
            panel->setFixedHeight(panel->height());
}

void TStatusBar::RepaintPanels()
{
    for (QWidget* panel : panels_)
        if (!qobject_cast<QLabel*>(panel))
            panel->repaint();
}

} // namespace Platform

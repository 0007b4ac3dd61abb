#pragma once

#include "platform/common/platform_export.h"

#include <QStatusBar>

#include <functional>
#include <vector>

class QLabel;

namespace Platform {

// A status bar of fixed-width panels. A text panel shows its text; an owner-drawn panel is painted
// by OnDrawPanel. Panels are widgets added with addWidget, so showMessage is never used (it would
// hide them).
class PLATFORM_API TStatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit TStatusBar(QWidget* parent = nullptr);

    // Adds a panel of that width; returns its index.
    int AddPanel(int width, bool ownerDrawn = false);
    int PanelCount() const;
    QString PanelText(int index) const;
    void SetPanelText(int index, const QString& text);
    QWidget* Panel(int index) const;
    // Repaints the owner-drawn panels at once.
    void RepaintPanels();

    std::function<void(QPainter& canvas, int panel, const QRect& rect)> OnDrawPanel;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void settlePanelHeights();

    std::vector<QWidget*> panels_;
};

} // namespace Platform

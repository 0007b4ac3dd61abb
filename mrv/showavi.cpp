#include "mrv/showavi.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>

namespace Showavi {
namespace {
QPointer<QLabel> overlay;
}

void ActiveShowAvi(QWidget* form, int /*kind*/)
{
    DeactiveShowAvi();
    if (!form)
        return;
    auto* label = new QLabel(QStringLiteral("Aguarde..."), form);  // owned by the form
    label->setObjectName(QStringLiteral("ShowAvi"));
    label->setAlignment(Qt::AlignCenter);
    label->setStyleSheet(QStringLiteral(
        "QLabel { background: rgba(255,255,255,200); border: 1px solid #7a7a7a; font-weight: bold; }"));
    label->setFixedSize(160, 48);
    label->move((form->width() - label->width()) / 2, (form->height() - label->height()) / 2);
    label->show();
    label->raise();
    overlay = label;
    // The caller blocks the event loop next (a server call): paint it on the screen now.
    label->repaint();
}

void DeactiveShowAvi()
{
    if (overlay) {
        // Gone from the screen at once, although the caller may go on blocking the event loop.
        QWidget* form = overlay->parentWidget();
        const QRect area = overlay->geometry();
        overlay->hide();
        if (form && form->isVisible())
            form->repaint(area);
        overlay->deleteLater();
    }
    overlay.clear();
}

bool ShowAviActive() { return !overlay.isNull(); }

} // namespace Showavi

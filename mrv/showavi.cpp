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
    label->repaint();
}

void DeactiveShowAvi()
{
    if (overlay)
        overlay->deleteLater();
    overlay.clear();
}

bool ShowAviActive() { return !overlay.isNull(); }

} // namespace Showavi

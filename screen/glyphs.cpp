#include "screen/glyphs.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>

namespace Cli_Vop31600 {

QIcon glyphIcon(Glyph glyph)
{
    QStyle* style = QApplication::style();
    switch (glyph) {
    case Glyph::Home: return style->standardIcon(QStyle::SP_DirHomeIcon);
    case Glyph::Up: return style->standardIcon(QStyle::SP_FileDialogToParent);
    case Glyph::Refresh: return style->standardIcon(QStyle::SP_BrowserReload);
    case Glyph::Abort: return style->standardIcon(QStyle::SP_BrowserStop);
    case Glyph::Download: return style->standardIcon(QStyle::SP_ArrowDown);
    case Glyph::Upload: return style->standardIcon(QStyle::SP_ArrowUp);
    case Glyph::NewFolder: return style->standardIcon(QStyle::SP_FileDialogNewFolder);
    case Glyph::Delete: return style->standardIcon(QStyle::SP_TrashIcon);
    case Glyph::Cancel: return style->standardIcon(QStyle::SP_DialogCloseButton);
    }
    return {};
}

QPixmap lampPixmap(bool connected)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor core = connected ? QColor(40, 180, 60) : QColor(210, 40, 40);
    QRadialGradient light(QPointF(6, 6), 8);
    light.setColorAt(0, core.lighter(170));
    light.setColorAt(1, core);
    painter.setBrush(light);
    painter.setPen(QPen(core.darker(160), 1));
    painter.drawEllipse(QRectF(2.5, 2.5, 11, 11));
    return pixmap;
}

} // namespace Cli_Vop31600

#include "screen/glyphs.h"

#include <QPainter>
#include <QSvgRenderer>

// The resource lives in a static library: referencing its initialiser keeps it in every binary that
// draws a glyph. Q_INIT_RESOURCE must be used outside any namespace.
static void initGlyphResource() { Q_INIT_RESOURCE(glyphs); }

namespace Cli_Vop31600 {
namespace {

QPixmap renderSvg(const QString& resource, int side)
{
    static const bool registered = (initGlyphResource(), true);
    (void)registered;
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer(resource);
    if (renderer.isValid()) {
        QPainter painter(&pixmap);
        renderer.render(&painter);
    }
    return pixmap;
}

} // namespace

QString glyphResource(Glyph glyph)
{
    switch (glyph) {
    case Glyph::Home: return QStringLiteral(":/glyphs/home.svg");
    case Glyph::Up: return QStringLiteral(":/glyphs/up.svg");
    case Glyph::Refresh: return QStringLiteral(":/glyphs/refresh.svg");
    case Glyph::Abort: return QStringLiteral(":/glyphs/abort.svg");
    case Glyph::Download: return QStringLiteral(":/glyphs/download.svg");
    case Glyph::Upload: return QStringLiteral(":/glyphs/upload.svg");
    case Glyph::NewFolder: return QStringLiteral(":/glyphs/newfolder.svg");
    case Glyph::Delete: return QStringLiteral(":/glyphs/delete.svg");
    case Glyph::Cancel: return QStringLiteral(":/glyphs/cancel.svg");
    }
    return {};
}

QIcon glyphIcon(Glyph glyph)
{
    const QString resource = glyphResource(glyph);
    QIcon icon;
    icon.addPixmap(renderSvg(resource, 16));
    icon.addPixmap(renderSvg(resource, 32));
    return icon;
}

QPixmap lampPixmap(bool connected)
{
    return renderSvg(connected ? QStringLiteral(":/glyphs/lamp_green.svg") : QStringLiteral(":/glyphs/lamp_red.svg"), 16);
}

QPixmap padlockPixmap() { return renderSvg(QStringLiteral(":/glyphs/padlock.svg"), 16); }

} // namespace Cli_Vop31600

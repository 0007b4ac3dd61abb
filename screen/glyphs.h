#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

namespace Cli_Vop31600 {

enum class Glyph { Home, Up, Refresh, Abort, Download, Upload, NewFolder, Delete, Cancel };

// The glyph of a button, drawn from the module's own SVG images at 16x16 (and 32x32 for high-DPI
// screens); the disabled look is derived by the style.
QIcon glyphIcon(Glyph glyph);
// The connection lamp, 16x16: green when connected, red otherwise.
QPixmap lampPixmap(bool connected);
// Beside the lamp while the screen's FTP session is encrypted.
QPixmap padlockPixmap();
// The resource path of a glyph's SVG image, such as ":/glyphs/home.svg".
QString glyphResource(Glyph glyph);

} // namespace Cli_Vop31600

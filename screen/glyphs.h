#pragma once

#include <QIcon>
#include <QPixmap>

namespace Cli_Vop31600 {

enum class Glyph { Home, Up, Refresh, Abort, Download, Upload, NewFolder, Delete, Cancel };

// The 16x16 glyph of a button.
QIcon glyphIcon(Glyph glyph);
// The connection lamp: green when connected, red otherwise.
QPixmap lampPixmap(bool connected);

} // namespace Cli_Vop31600

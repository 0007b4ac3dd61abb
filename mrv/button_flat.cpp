#include "mrv/button_flat.h"

namespace Mrv {

TButtonFlat::TButtonFlat(QWidget* parent) : QToolButton(parent)
{
    setAutoRaise(true);
    setFocusPolicy(Qt::NoFocus);
    setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    setIconSize(QSize(16, 16));
}

int TButtonFlat::Tag() const { return tag_; }

void TButtonFlat::SetTag(int tag) { tag_ = tag; }

void TButtonFlat::SetHint(const QString& hint) { setToolTip(hint); }

void TButtonFlat::SetGlyph(const QIcon& glyph) { setIcon(glyph); }

} // namespace Mrv

#pragma once

#include "mrv_export.h"

#include <QToolButton>

namespace Mrv {

// A flat button with a glyph, a hint and a tag. It never takes the keyboard focus, so that
// disabling it never moves the focus out of the screen (which would silence its shortcuts).
class MRV_API TButtonFlat : public QToolButton {
    Q_OBJECT
    Q_PROPERTY(int Tag READ Tag WRITE SetTag)
public:
    explicit TButtonFlat(QWidget* parent = nullptr);

    int Tag() const;
    void SetTag(int tag);
    void SetHint(const QString& hint);
    void SetGlyph(const QIcon& glyph);

private:
    int tag_ = 0;
};

} // namespace Mrv

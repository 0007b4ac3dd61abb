#pragma once

#include "platform/common/platform_export.h"

#include <QPointer>
#include <QStringList>
#include <QTableView>

namespace Platform {

// Around a reload of a table's model: the view's cells are repainted only if what they show
// changed. A model reset repaints every visible cell, re-laying out each text, even when the rows
// in view are the same as before (a file added below the visible part of a long listing).
class PLATFORM_API UnchangedViewGuard {
public:
    explicit UnchangedViewGuard(QTableView* view);
    ~UnchangedViewGuard();
    UnchangedViewGuard(const UnchangedViewGuard&) = delete;
    UnchangedViewGuard& operator=(const UnchangedViewGuard&) = delete;

private:
    static QStringList shownIn(const QTableView& view);

    QPointer<QTableView> view_;
    QStringList before_;
    bool held_ = false;
};

} // namespace Platform

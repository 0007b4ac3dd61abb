#include "platform/widgets/unchanged_view_guard.h"

#include <QAbstractItemModel>
#include <QScrollBar>

namespace Platform {

UnchangedViewGuard::UnchangedViewGuard(QTableView* view) : view_(view)
{
    if (!view_ || !view_->isVisible() || !view_->updatesEnabled())
        return;
    before_ = shownIn(*view_);
    // The attribute alone: setUpdatesEnabled would repaint everything when it is set back.
    view_->viewport()->setAttribute(Qt::WA_UpdatesDisabled, true);
    held_ = true;
}

UnchangedViewGuard::~UnchangedViewGuard()
{
    if (!held_ || !view_)
        return;
    // A reset leaves a layout pass queued, which would repaint every cell; it runs now, unseen.
    view_->doItemsLayout();
    view_->viewport()->setAttribute(Qt::WA_UpdatesDisabled, false);
    if (shownIn(*view_) != before_)
        view_->viewport()->update();
}

// Everything the cells in view show: where the view stands, the current cell, the selection and
// the texts of the rows in view.
QStringList UnchangedViewGuard::shownIn(const QTableView& view)
{
    QStringList out;
    const QAbstractItemModel* model = view.model();
    if (!model)
        return out;
    const int top = view.rowAt(0);
    int bottom = view.rowAt(view.viewport()->height() - 1);
    if (bottom < 0)
        bottom = model->rowCount() - 1;
    const QModelIndex current = view.currentIndex();
    out << QString::number(view.horizontalScrollBar()->value()) << QString::number(view.verticalScrollBar()->value())
        << QString::number(top) << QString::number(bottom) << QString::number(current.row())
        << QString::number(current.column());
    for (int row = std::max(top, 0); row <= bottom && row >= 0; ++row) {
        for (int column = 0; column < model->columnCount(); ++column) {
            const QModelIndex index = model->index(row, column);
            out << index.data(Qt::DisplayRole).toString();
            if (view.selectionModel() && view.selectionModel()->isSelected(index))
                out << QStringLiteral("*");
        }
    }
    return out;
}

} // namespace Platform

#include "platform/dataset/dataset_model.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTableView>

namespace Platform {

DataSetGridLink::DataSetGridLink(QTableView* view, TClientDataSet& dataSet, const QStringList& columns)
    : QObject(view), view_(view), dataSet_(&dataSet), model_(new DataSetModel(dataSet, columns, this))
{
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Fixed row heights let the view place any of 100,000 rows without measuring the others.
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 4);
    view->verticalHeader()->hide();
    view->setModel(model_);
    connect(view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current, const QModelIndex&) { viewRowChanged(current); });
    // A reset clears the view's current row; put it back where the cursor is.
    connect(model_, &QAbstractItemModel::modelReset, this, [this] {
        if (dataSet_ && !dataSet_->ControlsDisabled())
            followCursor();
    });
    dataSet.AddObserver(this);
    followCursor();
}

DataSetGridLink::~DataSetGridLink()
{
    if (dataSet_)
        dataSet_->RemoveObserver(this);
}

DataSetModel* DataSetGridLink::model() const { return model_; }

void DataSetGridLink::sync()
{
    model_->flush();
    followCursor();
}

void DataSetGridLink::dataSetScrolled()
{
    if (!dataSet_->ControlsDisabled())
        sync();
}

void DataSetGridLink::dataSetControlsEnabled() { sync(); }

void DataSetGridLink::dataSetDestroyed() { dataSet_ = nullptr; }

void DataSetGridLink::viewRowChanged(const QModelIndex& current)
{
    if (following_ || !dataSet_ || !current.isValid() || dataSet_->state() != TClientDataSet::State::Browse)
        return;
    // The cursor's own scroll notice must not move the view back while the view moves it.
    struct Following {
        bool& flag;
        explicit Following(bool& f) : flag(f) { flag = true; }
        ~Following() { flag = false; }
    } following(following_);
    dataSet_->SetRecNo(current.row() + 1);
}

void DataSetGridLink::followCursor()
{
    if (!view_ || !dataSet_ || following_ || model_->hasPendingChanges())
        return;
    QItemSelectionModel* selection = view_->selectionModel();
    if (!selection)
        return;
    following_ = true;
    const int row = dataSet_->Active() ? dataSet_->RecNo() - 1 : -1;
    if (row >= 0 && row < model_->rowCount()) {
        const int column = view_->currentIndex().isValid() ? view_->currentIndex().column() : 0;
        const QModelIndex index = model_->index(row, column);
        selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        view_->scrollTo(index);
    } else {
        selection->clearCurrentIndex();
        selection->clearSelection();
    }
    following_ = false;
}

} // namespace Platform

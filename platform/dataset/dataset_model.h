#pragma once

#include "platform/dataset/client_dataset.h"
#include "platform/common/platform_export.h"

#include <QAbstractTableModel>
#include <QPointer>
#include <QStringList>

#include <vector>

class QTableView;

namespace Platform {

// A table model over a TClientDataSet showing the given fields as columns, in the dataset's
// active order. Cells come from the field's DisplayText(), so a get-text handler runs only for the
// rows a view asks for. Dataset changes are coalesced: the model resets at most once per turn of
// the event loop, and at once when rowCount() is asked or flush() is called.
class PLATFORM_API DataSetModel : public QAbstractTableModel, public DataSetObserver {
    Q_OBJECT
public:
    DataSetModel(TClientDataSet& dataSet, const QStringList& fieldNames, QObject* parent = nullptr);
    ~DataSetModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    // DisplayRole: the field's display text; UserRole: the whole row as a QVariantMap
    // (field name -> value, null as an invalid QVariant); TextAlignmentRole: numbers to the right.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    // Horizontal DisplayRole: the field's display label; UserRole: the field name.
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Applies pending dataset changes now (one model reset).
    void flush();
    bool hasPendingChanges() const;
    TClientDataSet* dataSet() const;
    QString fieldNameOf(int column) const;
    int columnOfField(const QString& fieldName) const;

    void dataSetChanged() override;
    void dataSetDestroyed() override;

private:
    TClientDataSet* dataSet_;
    std::vector<int> fieldIndexes_;
    int rows_ = 0;
    bool pending_ = false;
    bool queued_ = false;
    bool flushing_ = false;
};

// Keeps a table view and a dataset's cursor in step, in the role of a data source: a row chosen
// in the view (mouse or keyboard) moves the cursor, and a cursor moved in code (First, Locate,
// SetRecNo ...) moves the view's current row, unless the dataset's controls are disabled;
// EnableControls brings the view back in step. Owns the model; lives as a child of the view.
class PLATFORM_API DataSetGridLink : public QObject, public DataSetObserver {
    Q_OBJECT
public:
    // Also sets the view up for large tables: whole-row single selection, no editing, fixed row
    // height, no row header.
    DataSetGridLink(QTableView* view, TClientDataSet& dataSet, const QStringList& columns);
    ~DataSetGridLink() override;

    DataSetModel* model() const;
    // Flushes the model and moves the view's current row to the cursor's.
    void sync();

    void dataSetScrolled() override;
    void dataSetControlsEnabled() override;
    void dataSetDestroyed() override;

private:
    void viewRowChanged(const QModelIndex& current);
    void followCursor();

    QPointer<QTableView> view_;
    TClientDataSet* dataSet_;
    DataSetModel* model_;
    bool following_ = false;
};

} // namespace Platform

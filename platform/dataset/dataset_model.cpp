#include "platform/dataset/dataset_model.h"

#include <QVariantMap>

namespace Platform {

DataSetModel::DataSetModel(TClientDataSet& dataSet, const QStringList& fieldNames, QObject* parent)
    : QAbstractTableModel(parent), dataSet_(&dataSet)
{
    for (const QString& name : fieldNames)
        fieldIndexes_.push_back(dataSet.FieldByName(name.toStdString()).Index());
    rows_ = dataSet.RecordCount();
    dataSet.AddObserver(this);
}

DataSetModel::~DataSetModel()
{
    if (dataSet_)
        dataSet_->RemoveObserver(this);
}

int DataSetModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    // Code that reads the model right after changing the dataset sees the new rows.
    if (pending_ && !flushing_)
        const_cast<DataSetModel*>(this)->flush();
    return rows_;
}

int DataSetModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(fieldIndexes_.size());
}

QVariant DataSetModel::data(const QModelIndex& index, int role) const
{
    if (!dataSet_ || !index.isValid() || index.row() >= rows_ || index.row() >= dataSet_->RecordCount()
        || index.column() >= static_cast<int>(fieldIndexes_.size()))
        return {};
    const int field = fieldIndexes_[static_cast<std::size_t>(index.column())];
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromStdString(dataSet_->DisplayTextAt(index.row(), field));
    case Qt::TextAlignmentRole: {
        const FieldType type = dataSet_->Fields(field).DataType();
        const bool number = type == FieldType::Integer || type == FieldType::Float;
        return QVariant::fromValue(Qt::Alignment((number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter));
    }
    case Qt::UserRole: {
        TClientDataSet::RowScope scope(*dataSet_, index.row());
        QVariantMap row;
        for (int i = 0; i < dataSet_->FieldCount(); ++i) {
            const TField& f = dataSet_->Fields(i);
            QVariant value;
            if (!f.IsNull()) {
                switch (f.DataType()) {
                case FieldType::String: value = QString::fromStdString(f.AsString()); break;
                case FieldType::Integer: value = f.AsInteger(); break;
                case FieldType::Float: value = f.AsFloat(); break;
                case FieldType::Boolean: value = f.AsBoolean(); break;
                }
            }
            row.insert(QString::fromStdString(f.FieldName()), value);
        }
        return row;
    }
    default:
        return {};
    }
}

QVariant DataSetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (!dataSet_ || orientation != Qt::Horizontal || section < 0
        || section >= static_cast<int>(fieldIndexes_.size()))
        return QAbstractTableModel::headerData(section, orientation, role);
    const TField& field = dataSet_->Fields(fieldIndexes_[static_cast<std::size_t>(section)]);
    if (role == Qt::DisplayRole)
        return QString::fromStdString(field.DisplayLabel());
    if (role == Qt::UserRole)
        return QString::fromStdString(field.FieldName());
    return {};
}

Qt::ItemFlags DataSetModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled;
}

void DataSetModel::flush()
{
    if (!pending_ || flushing_)
        return;
    flushing_ = true;
    beginResetModel();
    pending_ = false;
    rows_ = dataSet_ ? dataSet_->RecordCount() : 0;
    endResetModel();
    flushing_ = false;
}

bool DataSetModel::hasPendingChanges() const { return pending_; }
TClientDataSet* DataSetModel::dataSet() const { return dataSet_; }

QString DataSetModel::fieldNameOf(int column) const
{
    if (!dataSet_ || column < 0 || column >= static_cast<int>(fieldIndexes_.size()))
        return {};
    return QString::fromStdString(dataSet_->Fields(fieldIndexes_[static_cast<std::size_t>(column)]).FieldName());
}

int DataSetModel::columnOfField(const QString& fieldName) const
{
    for (int column = 0; column < static_cast<int>(fieldIndexes_.size()); ++column)
        if (fieldNameOf(column).compare(fieldName, Qt::CaseInsensitive) == 0)
            return column;
    return -1;
}

void DataSetModel::dataSetChanged()
{
    pending_ = true;
    if (queued_)
        return;
    // One reset per event-loop turn however many rows were posted.
    queued_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            queued_ = false;
            flush();
        },
        Qt::QueuedConnection);
}

void DataSetModel::dataSetDestroyed()
{
    beginResetModel();
    dataSet_ = nullptr;
    rows_ = 0;
    pending_ = false;
    endResetModel();
}

} // namespace Platform

#include "platform/dataset/client_dataset.h"

#include "platform/dataset/dataset_impl.h"

#include <algorithm>
#include <stdexcept>

// The dataset's fields and rows: definition, opening, posting, and reading a row by its place in the
// display.
namespace Platform {

bool Detail::sameNameIgnoringCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
               return lower(x) == lower(y);
           });
}

TClientDataSet::TClientDataSet() : d_(std::make_unique<Impl>()) { d_->owner = this; }

TClientDataSet::~TClientDataSet()
{
    const auto copy = d_->observers;
    d_->observers.clear();
    for (DataSetObserver* observer : copy)
        observer->dataSetDestroyed();
}

TField& TClientDataSet::AddField(const std::string& name, FieldType type, int size,
                                 const std::string& displayLabel, bool visible)
{
    if (d_->state != State::Inactive)
        throw std::logic_error("TClientDataSet: fields cannot be added to an open dataset");
    if (FindField(name))
        throw std::invalid_argument("TClientDataSet: duplicate field name '" + name + "'");
    const int index = static_cast<int>(d_->fields.size());
    d_->fields.push_back(std::make_unique<TField>(TField::Key{}, *this, index, name, type, size, displayLabel, visible));
    d_->columns.emplace_back(type);
    d_->buffer.emplace_back();
    return *d_->fields.back();
}

TField& TClientDataSet::FieldByName(const std::string& name)
{
    if (TField* field = FindField(name))
        return *field;
    throw std::out_of_range("TClientDataSet: field '" + name + "' not found");
}

TField* TClientDataSet::FindField(const std::string& name)
{
    for (auto& field : d_->fields)
        if (Detail::sameNameIgnoringCase(field->FieldName(), name))
            return field.get();
    return nullptr;
}

int TClientDataSet::FieldCount() const { return static_cast<int>(d_->fields.size()); }
TField& TClientDataSet::Fields(int index) { return *d_->fields.at(static_cast<std::size_t>(index)); }
const TField& TClientDataSet::Fields(int index) const { return *d_->fields.at(static_cast<std::size_t>(index)); }

void TClientDataSet::CreateDataSet()
{
    if (d_->fields.empty())
        throw std::logic_error("TClientDataSet: a dataset needs fields before it is created");
    d_->state = State::Browse;
    EmptyDataSet();
}

bool TClientDataSet::Active() const { return d_->state != State::Inactive; }
TClientDataSet::State TClientDataSet::state() const { return d_->state; }

void TClientDataSet::EmptyDataSet()
{
    d_->requireActive();
    d_->state = State::Browse;
    for (Detail::Column& column : d_->columns)
        column.clear();
    d_->rowCount = 0;
    d_->order.clear();
    d_->orderDirty = false;
    d_->clearFilterRows();
    d_->currentRow = Impl::noRow;
    d_->currentPos = -1;
    d_->eof = d_->bof = true;
    d_->notifyChanged();
}

void TClientDataSet::Insert()
{
    d_->requireBrowse();
    for (Detail::Cell& cell : d_->buffer) {
        cell.isNull = true;
        cell.text.clear(); // keeps its storage for the next row
        cell.number = 0;
    }
    d_->state = State::Insert;
}

void TClientDataSet::Append() { Insert(); }

void TClientDataSet::Post()
{
    if (d_->state != State::Insert)
        throw std::logic_error("TClientDataSet: Post needs a row being inserted");
    for (std::size_t i = 0; i < d_->columns.size(); ++i)
        d_->columns[i].append(d_->buffer[i]);
    const std::uint32_t id = d_->rowCount++;
    d_->state = State::Browse;
    d_->currentRow = id;
    d_->currentPos = -1;
    if (d_->activeField >= 0) {
        // A row that sorts after the last one keeps the order valid; anything else waits for one
        // sort when the order is next needed, never a sort per row.
        const Detail::Column& column = d_->columns[static_cast<std::size_t>(d_->activeField)];
        bool fits = !d_->orderDirty;
        if (fits && !d_->order.empty()) {
            const int c = Detail::compareRows(column, d_->order.back(), id);
            fits = d_->activeDescending ? c >= 0 : c <= 0;
        }
        if (fits) {
            d_->order.push_back(id);
            d_->currentPos = static_cast<std::int64_t>(d_->order.size()) - 1;
        } else {
            d_->orderDirty = true;
        }
    }
    d_->postFiltered(id);
    d_->eof = d_->bof = false;
    d_->notifyChanged();
}

void TClientDataSet::Cancel()
{
    if (d_->state == State::Insert)
        d_->state = State::Browse;
}

int TClientDataSet::RecordCount() const { return static_cast<int>(d_->shownCount()); }
bool TClientDataSet::IsEmpty() const { return d_->shownCount() == 0; }

std::size_t TClientDataSet::MemoryUsed() const
{
    std::size_t bytes = d_->order.capacity() * sizeof(std::uint32_t) + d_->folded.capacity()
        + d_->foldedEnd.capacity() * sizeof(std::uint32_t) + d_->shown.capacity()
        + d_->view.capacity() * sizeof(std::uint32_t);
    for (const Detail::Column& column : d_->columns)
        bytes += column.memoryUsed();
    return bytes;
}

std::int64_t TClientDataSet::Impl::readRow() const
{
    if (readOverride != noRow)
        return readOverride;
    if (state == State::Insert)
        return insertBuffer;
    return currentRow;
}

bool TClientDataSet::Impl::cellIsNull(int field, std::int64_t row) const
{
    if (row == insertBuffer)
        return buffer[static_cast<std::size_t>(field)].isNull;
    if (row < 0)
        return true;
    return columns[static_cast<std::size_t>(field)].isNull(static_cast<std::uint32_t>(row));
}

std::string TClientDataSet::Impl::cellText(int field, std::int64_t row) const
{
    if (cellIsNull(field, row))
        return {};
    const Detail::Column& column = columns[static_cast<std::size_t>(field)];
    const double number = cellNumber(field, row);
    switch (column.type()) {
    case FieldType::String:
        if (row == insertBuffer)
            return buffer[static_cast<std::size_t>(field)].text;
        return std::string(column.text(static_cast<std::uint32_t>(row)));
    case FieldType::Integer: return std::to_string(static_cast<std::int32_t>(number));
    case FieldType::Float: return formatFloatText(number);
    case FieldType::Boolean: return number != 0 ? "True" : "False";
    }
    return {};
}

double TClientDataSet::Impl::cellNumber(int field, std::int64_t row) const
{
    if (cellIsNull(field, row))
        return 0;
    if (row == insertBuffer)
        return buffer[static_cast<std::size_t>(field)].number;
    return columns[static_cast<std::size_t>(field)].number(static_cast<std::uint32_t>(row));
}

void TClientDataSet::Impl::write(int field, bool isNull, std::string_view text, double number)
{
    requireActive();
    if (state == State::Insert) {
        Detail::Cell& cell = buffer[static_cast<std::size_t>(field)];
        cell.isNull = isNull;
        cell.text.assign(text);
        cell.number = number;
        return;
    }
    if (currentRow < 0)
        throw std::logic_error("TClientDataSet: no current record to write to");
    Detail::Cell cell;
    cell.isNull = isNull;
    cell.text.assign(text);
    cell.number = number;
    columns[static_cast<std::size_t>(field)].set(static_cast<std::uint32_t>(currentRow), cell);
    if (activeField == field) {
        orderDirty = true;
        currentPos = -1;
    }
    if (filterField == field)
        foldStale = true;
    notifyChanged();
}

void TClientDataSet::Impl::requireActive() const
{
    if (state == State::Inactive)
        throw std::logic_error("TClientDataSet: cannot perform this operation on a closed dataset");
}

void TClientDataSet::Impl::requireBrowse()
{
    requireActive();
    if (state == State::Insert)
        owner->Post();
}

TClientDataSet::RowScope::RowScope(TClientDataSet& dataSet, int displayRow)
    : dataSet_(dataSet), previous_(dataSet.d_->readOverride)
{
    if (displayRow < 0 || displayRow >= static_cast<int>(dataSet.d_->shownCount()))
        throw std::out_of_range("TClientDataSet: row " + std::to_string(displayRow) + " out of range");
    dataSet.d_->readOverride = dataSet.d_->rowIdAt(static_cast<std::uint32_t>(displayRow));
}

TClientDataSet::RowScope::~RowScope() { dataSet_.d_->readOverride = previous_; }

std::string TClientDataSet::DisplayTextAt(int displayRow, int fieldIndex)
{
    RowScope scope(*this, displayRow);
    return Fields(fieldIndex).DisplayText();
}

bool TClientDataSet::IsNullAt(int displayRow, int fieldIndex)
{
    RowScope scope(*this, displayRow);
    return Fields(fieldIndex).IsNull();
}

std::string TClientDataSet::AsStringAt(int displayRow, int fieldIndex)
{
    RowScope scope(*this, displayRow);
    return Fields(fieldIndex).AsString();
}

} // namespace Platform

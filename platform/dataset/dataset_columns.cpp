#include "platform/dataset/dataset_columns.h"

#include <limits>
#include <stdexcept>

namespace Platform::Detail {

Column::Column(FieldType type) : type_(type) {}

std::uint32_t Column::storeText(const std::string& text)
{
    // Offsets are 32-bit to keep a row small; 4 GiB of text in one column is far beyond any listing.
    if (arena_.size() + text.size() > std::numeric_limits<std::uint32_t>::max())
        throw std::length_error("TClientDataSet: text storage of a column is full");
    const auto offset = static_cast<std::uint32_t>(arena_.size());
    arena_.append(text);
    return offset;
}

void Column::append(const Cell& cell)
{
    nulls_.push_back(cell.isNull ? 1 : 0);
    switch (type_) {
    case FieldType::String:
        if (cell.isNull)
            texts_.push_back({});
        else
            texts_.push_back({storeText(cell.text), static_cast<std::uint32_t>(cell.text.size())});
        break;
    case FieldType::Integer:
        integers_.push_back(cell.isNull ? 0 : static_cast<std::int32_t>(cell.number));
        break;
    case FieldType::Float:
        floats_.push_back(cell.isNull ? 0.0 : cell.number);
        break;
    case FieldType::Boolean:
        booleans_.push_back(!cell.isNull && cell.number != 0 ? 1 : 0);
        break;
    }
}

void Column::set(std::uint32_t row, const Cell& cell)
{
    nulls_[row] = cell.isNull ? 1 : 0;
    switch (type_) {
    case FieldType::String:
        // The old text stays in the buffer until the rows are emptied; edits in place are rare.
        if (cell.isNull)
            texts_[row] = {};
        else
            texts_[row] = {storeText(cell.text), static_cast<std::uint32_t>(cell.text.size())};
        break;
    case FieldType::Integer:
        integers_[row] = cell.isNull ? 0 : static_cast<std::int32_t>(cell.number);
        break;
    case FieldType::Float:
        floats_[row] = cell.isNull ? 0.0 : cell.number;
        break;
    case FieldType::Boolean:
        booleans_[row] = !cell.isNull && cell.number != 0 ? 1 : 0;
        break;
    }
}

void Column::clear()
{
    nulls_.clear();
    texts_.clear();
    arena_.clear();
    integers_.clear();
    floats_.clear();
    booleans_.clear();
}

void Column::reserve(std::size_t rows)
{
    nulls_.reserve(rows);
    switch (type_) {
    case FieldType::String: texts_.reserve(rows); break;
    case FieldType::Integer: integers_.reserve(rows); break;
    case FieldType::Float: floats_.reserve(rows); break;
    case FieldType::Boolean: booleans_.reserve(rows); break;
    }
}

double Column::number(std::uint32_t row) const
{
    switch (type_) {
    case FieldType::Integer: return integers_[row];
    case FieldType::Float: return floats_[row];
    case FieldType::Boolean: return booleans_[row];
    case FieldType::String: break;
    }
    return 0;
}

std::size_t Column::memoryUsed() const
{
    return nulls_.capacity() + texts_.capacity() * sizeof(TextRef) + arena_.capacity()
        + integers_.capacity() * sizeof(std::int32_t) + floats_.capacity() * sizeof(double)
        + booleans_.capacity();
}

std::string_view cutToCharacters(std::string_view text, int maxChars)
{
    if (maxChars <= 0 || text.size() <= static_cast<std::size_t>(maxChars))
        return text;
    int count = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const bool continuation = (byte & 0xC0) == 0x80;
        if (!continuation) {
            if (count == maxChars)
                return text.substr(0, i);
            ++count;
        }
    }
    return text;
}

} // namespace Platform::Detail

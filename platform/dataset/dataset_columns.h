#pragma once

#include "platform/dataset/client_dataset.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Column-wise row storage of TClientDataSet: one vector per field, text packed into one buffer per
// column, so a row costs a few bytes plus its text.
namespace Platform::Detail {

struct TextRef {
    std::uint32_t offset = 0;
    std::uint32_t length = 0;
};

// One value outside the columns: the buffer of a row being inserted.
struct Cell {
    bool isNull = true;
    std::string text;
    double number = 0; // integers and booleans too: both fit a double exactly
};

class Column {
public:
    explicit Column(FieldType type);

    FieldType type() const { return type_; }
    std::size_t size() const { return nulls_.size(); }

    void append(const Cell& cell);
    void set(std::uint32_t row, const Cell& cell);
    void clear();
    void reserve(std::size_t rows);

    bool isNull(std::uint32_t row) const { return nulls_[row] != 0; }
    std::string_view text(std::uint32_t row) const
    {
        const TextRef ref = texts_[row];
        return std::string_view(arena_.data() + ref.offset, ref.length);
    }
    // Hints the cache that a row's text will be read soon (sorting reads rows in scattered order).
    void prefetchText(std::uint32_t row) const { __builtin_prefetch(arena_.data() + texts_[row].offset); }
    double number(std::uint32_t row) const;

    std::size_t memoryUsed() const;

private:
    std::uint32_t storeText(const std::string& text);

    FieldType type_;
    std::vector<std::uint8_t> nulls_;
    std::vector<TextRef> texts_;
    std::string arena_;
    std::vector<std::int32_t> integers_;
    std::vector<double> floats_;
    std::vector<std::uint8_t> booleans_;
};

// At most maxChars UTF-8 characters of text; a sequence is never cut in half.
std::string_view cutToCharacters(std::string_view text, int maxChars);

// Sorts the row ids 0..rowCount-1 by the column's values into order (nulls first when ascending);
// rows of equal value stay in id order in both directions.
void sortRows(const Column& column, bool descending, std::vector<std::uint32_t>& order);

// -1, 0 or 1 as rows a and b of the column compare ascending (nulls first).
int compareRows(const Column& column, std::uint32_t a, std::uint32_t b);

} // namespace Platform::Detail

#pragma once

#include "platform/dataset/client_dataset.h"
#include "platform/dataset/dataset_columns.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The state behind TClientDataSet, shared by the dataset and its fields.
namespace Platform {

struct IndexDef {
    std::string name;
    int field = 0;
    bool descending = false;
};

struct TClientDataSet::Impl {
    static constexpr std::int64_t noRow = -1;
    static constexpr std::int64_t insertBuffer = -2;

    TClientDataSet* owner = nullptr;
    std::vector<std::unique_ptr<TField>> fields;
    std::vector<Detail::Column> columns;
    std::vector<Detail::Cell> buffer; // the row being inserted
    State state = State::Inactive;
    std::uint32_t rowCount = 0;

    std::vector<IndexDef> indexes;
    std::string activeIndex;            // "" = posting order
    int activeField = -1;               // the active index's field and direction, for the hot paths
    bool activeDescending = false;
    std::vector<std::uint32_t> order;   // row ids in the active index's order, when not dirty
    bool orderDirty = false;

    std::int64_t currentRow = noRow;    // row id of the cursor
    std::int64_t currentPos = -1;       // its display position, -1 until looked up again
    bool eof = true;
    bool bof = true;
    std::int64_t readOverride = noRow;  // row id a RowScope reads, or noRow

    // The find filter: the filter field's text of every row folded at posting (back to back, each
    // row's end offset), which rows match, and the shown rows in display order.
    int filterField = -1;
    std::string folded;
    std::vector<std::uint32_t> foldedEnd;
    bool foldStale = false;             // a filter field was written or set after rows were posted
    std::string filterText;             // as given
    std::string filterFolded;           // "" = every row shown
    std::vector<std::uint8_t> shown;    // by row id, while filtered
    std::uint32_t shownRows = 0;
    std::vector<std::uint32_t> view;    // shown row ids in display order, when not viewDirty
    bool viewDirty = false;

    int disableCount = 0;
    std::vector<DataSetObserver*> observers;

    const IndexDef* findIndex(const std::string& name) const;
    const IndexDef* active() const;

    // The row the fields read: a RowScope's row, the insert buffer, the current row or noRow.
    std::int64_t readRow() const;
    bool cellIsNull(int field, std::int64_t row) const;
    std::string cellText(int field, std::int64_t row) const; // the field's AsString text
    double cellNumber(int field, std::int64_t row) const;
    // Writes the insert buffer (reusing its text's storage) or the current row.
    void write(int field, bool isNull, std::string_view text, double number);

    void ensureOrder();
    bool filtered() const { return !filterFolded.empty(); }
    std::uint32_t shownCount() const { return filtered() ? shownRows : rowCount; }
    void ensureView();
    void foldRow(std::uint32_t id);
    void refoldAll();
    bool rowMatches(std::uint32_t id) const;
    void postFiltered(std::uint32_t id); // a newly posted row
    void clearFilterRows();
    std::uint32_t rowIdAt(std::uint32_t position);
    std::int64_t currentPosition();

    void requireActive() const;
    void requireBrowse(); // posts a pending insert
    void moveTo(std::uint32_t position);
    void notifyChanged();
    void notifyScrolled();
};

// Text of a float as AsString prints it.
std::string formatFloatText(double value);

namespace Detail {
// Names of fields and indexes compare ignoring the case of a to z.
bool sameNameIgnoringCase(const std::string& a, const std::string& b);
} // namespace Detail

} // namespace Platform

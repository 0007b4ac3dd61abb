#pragma once

#include "platform/common/platform_export.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// The in-memory table the screens keep their rows in: typed fields, a cursor with an after-scroll
// event, named one-field indexes and the data-aware controls that follow it.
//
// Ordering of text: case-sensitive indexes compare the UTF-8 bytes, which is Unicode code point
// order ("B" < "a" < "É"). We chose it over a locale-aware collation because it does not depend on
// the machine's locale, it is the order the servers themselves list names in, and a byte compare
// keeps a sort of a million names well inside the time the grid can wait. Booleans and numbers
// compare by value; nulls come first in ascending order (last in descending). Rows that compare
// equal keep the order they were posted in, in either direction.
namespace Platform {

enum class FieldType { String, Integer, Float, Boolean };

class TClientDataSet;

class PLATFORM_API TField {
public:
    TField(const TField&) = delete;
    TField& operator=(const TField&) = delete;

    const std::string& FieldName() const;
    FieldType DataType() const;
    int Size() const;
    const std::string& DisplayLabel() const;
    bool Visible() const;
    int Index() const;
    TClientDataSet& DataSet() const;

    bool IsNull() const;
    // Null gives "". A float that holds a whole number prints as plain digits ("1536"); any other
    // float prints as the shortest text that reads back to the same value, with a '.' separator.
    // Booleans print "True" / "False".
    std::string AsString() const;
    std::int32_t AsInteger() const;
    double AsFloat() const;
    bool AsBoolean() const;

    // Text fields keep at most Size() characters (never half of a UTF-8 sequence). For other types
    // the text is converted; an empty text stores null; a text that does not convert throws
    // std::invalid_argument.
    void SetAsString(const std::string& value);
    void SetAsInteger(std::int32_t value);
    void SetAsFloat(double value);
    void SetAsBoolean(bool value);
    void Clear();

    // When set, DisplayText() returns its result instead of AsString().
    std::function<std::string(const TField&)> OnGetText;
    std::string DisplayText() const;

    // Only the dataset makes fields (AddField).
    class Key {
        friend class TClientDataSet;
        Key() = default;
    };
    TField(Key, TClientDataSet& owner, int index, std::string name, FieldType type, int size,
           std::string displayLabel, bool visible);

private:

    TClientDataSet* owner_;
    int index_;
    std::string name_;
    FieldType type_;
    int size_;
    std::string displayLabel_;
    bool visible_;
};

// What the data-aware controls hear from a dataset. Calls come on the thread that changed it.
class PLATFORM_API DataSetObserver {
public:
    virtual ~DataSetObserver();
    // Rows were added, removed, edited or reordered. Called once per change: coalesce.
    virtual void dataSetChanged() {}
    // The cursor moved to another row (also while controls are disabled).
    virtual void dataSetScrolled() {}
    // The last EnableControls ran: the controls should show the dataset again.
    virtual void dataSetControlsEnabled() {}
    // The dataset is going away; forget it.
    virtual void dataSetDestroyed() {}
};

class PLATFORM_API TClientDataSet {
public:
    enum class State { Inactive, Browse, Insert };

    TClientDataSet();
    ~TClientDataSet();
    TClientDataSet(const TClientDataSet&) = delete;
    TClientDataSet& operator=(const TClientDataSet&) = delete;

    // Fields are defined before CreateDataSet.
    TField& AddField(const std::string& name, FieldType type, int size = 0,
                     const std::string& displayLabel = {}, bool visible = true);
    TField& FieldByName(const std::string& name); // throws std::out_of_range
    TField* FindField(const std::string& name);   // field names ignore the case of a to z
    int FieldCount() const;
    TField& Fields(int index);
    const TField& Fields(int index) const;

    void CreateDataSet();
    bool Active() const;
    State state() const;

    // Rows go; the indexes and the active index stay.
    void EmptyDataSet();

    // Insert and Append both start a new row in a buffer that the fields then write; Post adds it
    // and makes it current. With an index active the row takes its place by the index; without
    // one the rows stay in the order they were posted.
    void Insert();
    void Append();
    void Post();
    void Cancel();

    int RecordCount() const; // the rows shown (see the find filter)
    bool IsEmpty() const;

    // Moving the cursor while a new row is in the buffer posts it first.
    void First();
    void Next();
    void Prior();
    void Last();
    bool Eof() const;
    bool Bof() const;
    int RecNo() const; // 1-based position in the active order; 0 when empty
    void SetRecNo(int recNo);

    // Whole-value match on the field's text, in the active order; the match becomes current.
    bool Locate(const std::string& field, const std::string& value, bool caseInsensitive);

    void AddIndex(const std::string& name, const std::string& field, bool descending);
    void DeleteIndex(const std::string& name);
    std::vector<std::string> IndexNames() const;
    bool IndexDescending(const std::string& name) const;
    std::string IndexName() const;
    void SetIndexName(const std::string& name); // "" = the order rows were posted in

    // The find filter, in the role of Filter/Filtered: with a text set, only the rows whose filter
    // field contains it, ignoring case and accents, are shown, and every count, position, move,
    // locate and display read above acts on the shown rows (in the active order). The filter
    // field's text is folded once per row as rows are posted, so a new filter text costs one pass
    // over the folded texts. The text stays across EmptyDataSet and applies to the rows posted
    // next. The current row stays when it is still shown, else the first shown row is current.
    void SetFilterField(const std::string& field); // throws std::out_of_range
    void SetFilterText(const std::string& text);
    const std::string& FilterText() const;
    bool Filtered() const;       // a non-empty filter text is set
    int TotalRecordCount() const; // every row, shown or not

    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const;

    // After every move of the current row, also while controls are disabled. Posting a row and
    // reordering do not count as moves.
    std::function<void(TClientDataSet&)> AfterScroll;

    void AddObserver(DataSetObserver* observer);
    void RemoveObserver(DataSetObserver* observer);

    // Reading rows without moving the cursor: while a RowScope lives, the fields read the row at
    // that 0-based display position instead of the current row. No event fires.
    class PLATFORM_API RowScope {
    public:
        RowScope(TClientDataSet& dataSet, int displayRow);
        ~RowScope();
        RowScope(const RowScope&) = delete;
        RowScope& operator=(const RowScope&) = delete;

    private:
        TClientDataSet& dataSet_;
        std::int64_t previous_;
    };

    // Convenience reads at a display row, through a RowScope.
    std::string DisplayTextAt(int displayRow, int fieldIndex);
    bool IsNullAt(int displayRow, int fieldIndex);
    std::string AsStringAt(int displayRow, int fieldIndex);

    // Bytes held by rows, indexes and text, for memory accounting.
    std::size_t MemoryUsed() const;

private:
    friend class TField;
    struct Impl;
    std::unique_ptr<Impl> d_;
};

} // namespace Platform

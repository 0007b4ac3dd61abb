#include "platform/dataset/client_dataset.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using Platform::FieldType;
using Platform::TClientDataSet;

namespace {

// A table of names posted in the given order, without an index.
void fill(TClientDataSet& ds, const std::vector<std::string>& names)
{
    if (!ds.Active()) {
        ds.AddField("NAME", FieldType::String, 50);
        ds.AddField("N", FieldType::Integer);
        ds.CreateDataSet();
    }
    int n = 0;
    for (const auto& name : names) {
        ds.Append();
        ds.FieldByName("NAME").SetAsString(name);
        ds.FieldByName("N").SetAsInteger(n++);
        ds.Post();
    }
}

std::string current(TClientDataSet& ds) { return ds.FieldByName("NAME").AsString(); }

} // namespace

TEST(DataSetCursor, WalksForwardAndBackWithEofAndBof)
{
    TClientDataSet ds;
    fill(ds, {"a", "b", "c"});
    std::vector<std::string> seen;
    for (ds.First(); !ds.Eof(); ds.Next())
        seen.push_back(current(ds));
    EXPECT_EQ(seen, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(current(ds), "c"); // Next past the end stays on the last row
    EXPECT_EQ(ds.RecNo(), 3);

    seen.clear();
    for (ds.Last(); !ds.Bof(); ds.Prior())
        seen.push_back(current(ds));
    EXPECT_EQ(seen, (std::vector<std::string>{"c", "b", "a"}));
    EXPECT_EQ(ds.RecNo(), 1);
}

TEST(DataSetCursor, EmptyTableHasNoRecordAndBothEnds)
{
    TClientDataSet ds;
    fill(ds, {});
    ds.First();
    EXPECT_TRUE(ds.IsEmpty());
    EXPECT_TRUE(ds.Eof());
    EXPECT_TRUE(ds.Bof());
    EXPECT_EQ(ds.RecNo(), 0);
    EXPECT_TRUE(ds.FieldByName("NAME").IsNull());
    ds.Next();
    ds.Prior();
    EXPECT_EQ(ds.RecNo(), 0);
}

TEST(DataSetCursor, AfterScrollFiresOnEveryMoveOnly)
{
    TClientDataSet ds;
    fill(ds, {"a", "b", "c"});
    std::vector<std::string> calls;
    ds.AfterScroll = [&](TClientDataSet& d) { calls.push_back(d.FieldByName("NAME").AsString()); };
    ds.First();
    ds.Next();
    ds.SetRecNo(3);
    ds.SetRecNo(3);   // no move
    ds.Next();        // already at the end
    ds.Prior();
    ds.Locate("NAME", "a", false);
    EXPECT_EQ(calls, (std::vector<std::string>{"a", "b", "c", "b", "a"}));

    calls.clear();
    ds.DisableControls();
    ds.Last();
    EXPECT_TRUE(ds.ControlsDisabled());
    ds.EnableControls();
    EXPECT_FALSE(ds.ControlsDisabled());
    EXPECT_EQ(calls, (std::vector<std::string>{"c"}));

    calls.clear();
    ds.Insert();
    ds.FieldByName("NAME").SetAsString("d");
    ds.Post(); // posting is not a move
    ds.EmptyDataSet();
    EXPECT_TRUE(calls.empty());
}

TEST(DataSetCursor, PostMakesTheNewRowCurrentAndCancelKeepsTheOldOne)
{
    TClientDataSet ds;
    fill(ds, {"a", "b"});
    ds.First();
    ds.Insert();
    EXPECT_EQ(ds.state(), TClientDataSet::State::Insert);
    EXPECT_TRUE(ds.FieldByName("NAME").IsNull()); // fields show the new row's buffer
    ds.FieldByName("NAME").SetAsString("x");
    ds.Cancel();
    EXPECT_EQ(ds.state(), TClientDataSet::State::Browse);
    EXPECT_EQ(current(ds), "a");
    EXPECT_EQ(ds.RecordCount(), 2);

    ds.Insert();
    ds.FieldByName("NAME").SetAsString("c");
    ds.Post();
    EXPECT_EQ(current(ds), "c");
    EXPECT_EQ(ds.RecNo(), 3);
    EXPECT_THROW(ds.Post(), std::logic_error);

    // Moving with a pending row posts it.
    ds.Append();
    ds.FieldByName("NAME").SetAsString("d");
    ds.First();
    EXPECT_EQ(ds.RecordCount(), 4);
}

TEST(DataSetCursor, LocateMatchesWholeValuesWithOptionalCaseFolding)
{
    TClientDataSet ds;
    fill(ds, {"Nota.xml", "nota.XML", "Organização", "12"});
    EXPECT_FALSE(ds.Locate("NAME", "nota", true)); // whole value only
    EXPECT_TRUE(ds.Locate("NAME", "NOTA.XML", true));
    EXPECT_EQ(ds.RecNo(), 1);
    EXPECT_TRUE(ds.Locate("NAME", "nota.XML", false));
    EXPECT_EQ(ds.RecNo(), 2);
    EXPECT_FALSE(ds.Locate("NAME", "NOTA.XML", false));
    EXPECT_EQ(ds.RecNo(), 2); // a miss leaves the cursor
    EXPECT_TRUE(ds.Locate("NAME", "ORGANIZAÇÃO", true));
    EXPECT_EQ(ds.RecNo(), 3);
    EXPECT_TRUE(ds.Locate("N", "3", false)); // other types match their text
    EXPECT_EQ(current(ds), "12");
    EXPECT_THROW(ds.Locate("NOPE", "x", false), std::out_of_range);
}

TEST(DataSetCursor, RowScopeReadsAnyRowWithoutMovingOrFiring)
{
    TClientDataSet ds;
    fill(ds, {"a", "b", "c"});
    ds.First();
    int scrolls = 0;
    ds.AfterScroll = [&](TClientDataSet&) { ++scrolls; };
    EXPECT_EQ(ds.AsStringAt(2, 0), "c");
    {
        TClientDataSet::RowScope scope(ds, 1);
        EXPECT_EQ(current(ds), "b");
        EXPECT_EQ(ds.FieldByName("N").AsInteger(), 1);
    }
    EXPECT_EQ(current(ds), "a");
    EXPECT_EQ(ds.RecNo(), 1);
    EXPECT_EQ(scrolls, 0);
    EXPECT_THROW(TClientDataSet::RowScope(ds, 3), std::out_of_range);
    EXPECT_FALSE(ds.IsNullAt(0, 1));
}

TEST(DataSetCursor, EmptyDataSetDropsRowsAndRefills)
{
    TClientDataSet ds;
    fill(ds, {"a", "b"});
    ds.EmptyDataSet();
    EXPECT_EQ(ds.RecordCount(), 0);
    EXPECT_EQ(ds.RecNo(), 0);
    fill(ds, {"z"});
    ds.First();
    EXPECT_EQ(current(ds), "z");
    EXPECT_EQ(ds.RecordCount(), 1);
}

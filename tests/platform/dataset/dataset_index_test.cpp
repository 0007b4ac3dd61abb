#include "platform/dataset/client_dataset.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <string>
#include <vector>

using Platform::FieldType;
using Platform::TClientDataSet;

namespace {

struct Row {
    std::optional<std::string> text;
    std::optional<double> number;
    std::optional<bool> flag;
};

void define(TClientDataSet& ds)
{
    ds.AddField("ID", FieldType::Integer);
    ds.AddField("TEXT", FieldType::String, 0);
    ds.AddField("NUMBER", FieldType::Float);
    ds.AddField("FLAG", FieldType::Boolean);
    ds.CreateDataSet();
}

void post(TClientDataSet& ds, int id, const Row& row)
{
    ds.Insert();
    ds.FieldByName("ID").SetAsInteger(id);
    if (row.text)
        ds.FieldByName("TEXT").SetAsString(*row.text);
    if (row.number)
        ds.FieldByName("NUMBER").SetAsFloat(*row.number);
    if (row.flag)
        ds.FieldByName("FLAG").SetAsBoolean(*row.flag);
    ds.Post();
}

std::vector<int> idsInOrder(TClientDataSet& ds)
{
    std::vector<int> ids;
    for (ds.First(); !ds.Eof(); ds.Next())
        ids.push_back(ds.FieldByName("ID").AsInteger());
    return ids;
}

// The order the dataset promises, computed the slow obvious way: a stable sort of the posting
// order, nulls first ascending, and equal rows in posting order in both directions.
template <typename Key>
std::vector<int> expectedOrder(const std::vector<Row>& rows, Key key, bool descending)
{
    std::vector<int> ids(rows.size());
    for (std::size_t i = 0; i < ids.size(); ++i)
        ids[i] = static_cast<int>(i);
    std::stable_sort(ids.begin(), ids.end(), [&](int a, int b) {
        const auto ka = key(rows[static_cast<std::size_t>(a)]);
        const auto kb = key(rows[static_cast<std::size_t>(b)]);
        return descending ? kb < ka : ka < kb; // std::optional orders nullopt first
    });
    return ids;
}

std::vector<Row> randomRows(std::size_t count, unsigned seed)
{
    std::mt19937 random(seed);
    const std::vector<std::string> prefixes{"", "35240112345678000190550010000", "a", "B", std::string("ab\0c", 4)};
    std::vector<Row> rows;
    for (std::size_t i = 0; i < count; ++i) {
        Row row;
        if (random() % 10 != 0) {
            std::string text = prefixes[random() % prefixes.size()];
            const std::size_t extra = random() % 14;
            for (std::size_t c = 0; c < extra; ++c)
                text += static_cast<char>("aAbB0\0\xC3\xA7z~"[random() % 10]);
            row.text = text;
        }
        if (random() % 8 != 0)
            row.number = static_cast<double>(static_cast<int>(random() % 21) - 10) * (random() % 2 ? 1.0 : 0.25);
        if (random() % 5 != 0)
            row.flag = random() % 2 == 0;
        rows.push_back(row);
    }
    return rows;
}

} // namespace

TEST(DataSetIndex, EveryTypeAndDirectionMatchesAStableReferenceSort)
{
    for (unsigned seed : {1u, 2u, 3u}) {
        for (std::size_t count : {0u, 1u, 17u, 300u, 2000u, 20000u}) {
            const std::vector<Row> rows = randomRows(count, seed);
            TClientDataSet ds;
            define(ds);
            for (std::size_t i = 0; i < rows.size(); ++i)
                post(ds, static_cast<int>(i), rows[i]);
            for (bool descending : {false, true}) {
                const std::string suffix = descending ? "D" : "A";
                ds.AddIndex("T" + suffix, "TEXT", descending);
                ds.AddIndex("N" + suffix, "NUMBER", descending);
                ds.AddIndex("F" + suffix, "FLAG", descending);
                ds.SetIndexName("T" + suffix);
                EXPECT_EQ(idsInOrder(ds), expectedOrder(rows, [](const Row& r) { return r.text; }, descending))
                    << "text seed " << seed << " count " << count << " " << suffix;
                ds.SetIndexName("N" + suffix);
                EXPECT_EQ(idsInOrder(ds), expectedOrder(rows, [](const Row& r) { return r.number; }, descending))
                    << "number seed " << seed << " count " << count << " " << suffix;
                ds.SetIndexName("F" + suffix);
                EXPECT_EQ(idsInOrder(ds), expectedOrder(rows, [](const Row& r) { return r.flag; }, descending))
                    << "flag seed " << seed << " count " << count << " " << suffix;
            }
        }
    }
}

TEST(DataSetIndex, TextComparesCaseSensitivelyByCodePoint)
{
    TClientDataSet ds;
    define(ds);
    const std::vector<std::string> names{"b", "a", "B", "É", "A", "ab", "a b", "Z"};
    for (std::size_t i = 0; i < names.size(); ++i)
        post(ds, static_cast<int>(i), Row{names[i], {}, {}});
    ds.AddIndex("byText", "TEXT", false);
    ds.SetIndexName("byText");
    std::vector<std::string> seen;
    for (ds.First(); !ds.Eof(); ds.Next())
        seen.push_back(ds.FieldByName("TEXT").AsString());
    EXPECT_EQ(seen, (std::vector<std::string>{"A", "B", "Z", "a", "a b", "ab", "b", "É"}));
}

TEST(DataSetIndex, RowsPostedUnderAnIndexTakeTheirPlaceAndOrderSurvivesEmptying)
{
    TClientDataSet ds;
    define(ds);
    ds.AddIndex("byText", "TEXT", false);
    ds.SetIndexName("byText");
    // In order first (kept without sorting), then one that belongs in the middle.
    post(ds, 0, Row{"a", {}, {}});
    post(ds, 1, Row{"c", {}, {}});
    EXPECT_EQ(ds.RecNo(), 2);
    post(ds, 2, Row{"b", {}, {}});
    EXPECT_EQ(ds.RecNo(), 2); // the new row is current at its sorted place
    post(ds, 3, Row{"d", {}, {}});
    EXPECT_EQ(idsInOrder(ds), (std::vector<int>{0, 2, 1, 3}));

    ds.EmptyDataSet();
    EXPECT_EQ(ds.IndexName(), "byText");
    post(ds, 0, Row{"z", {}, {}});
    post(ds, 1, Row{"y", {}, {}});
    EXPECT_EQ(idsInOrder(ds), (std::vector<int>{1, 0}));

    ds.SetIndexName("");
    EXPECT_EQ(idsInOrder(ds), (std::vector<int>{0, 1})); // posting order
}

TEST(DataSetIndex, ChangingTheOrderKeepsTheCurrentRow)
{
    TClientDataSet ds;
    define(ds);
    for (int i = 0; i < 5; ++i)
        post(ds, i, Row{std::string(1, static_cast<char>('e' - i)), static_cast<double>(i), {}});
    ds.AddIndex("byText", "TEXT", false);
    ds.AddIndex("byNumber", "NUMBER", true);
    ds.Locate("ID", "1", false);
    ds.SetIndexName("byText");
    EXPECT_EQ(ds.FieldByName("ID").AsInteger(), 1);
    EXPECT_EQ(ds.RecNo(), 4);
    ds.SetIndexName("byNumber");
    EXPECT_EQ(ds.FieldByName("ID").AsInteger(), 1);
    EXPECT_EQ(ds.RecNo(), 4);
    // Editing the indexed field moves the row.
    ds.FieldByName("NUMBER").SetAsFloat(100);
    EXPECT_EQ(ds.RecNo(), 1);
}

TEST(DataSetIndex, IndexNamesDirectionsAndDeletion)
{
    TClientDataSet ds;
    define(ds);
    ds.AddIndex("one", "TEXT", false);
    ds.AddIndex("two", "NUMBER", true);
    EXPECT_EQ(ds.IndexNames(), (std::vector<std::string>{"one", "two"}));
    EXPECT_FALSE(ds.IndexDescending("one"));
    EXPECT_TRUE(ds.IndexDescending("TWO"));
    EXPECT_THROW(ds.AddIndex("ONE", "FLAG", false), std::invalid_argument);
    EXPECT_THROW(ds.AddIndex("three", "MISSING", false), std::out_of_range);
    EXPECT_THROW(ds.SetIndexName("missing"), std::invalid_argument);
    EXPECT_THROW(ds.DeleteIndex("missing"), std::invalid_argument);

    ds.SetIndexName("Two");
    EXPECT_EQ(ds.IndexName(), "two");
    ds.DeleteIndex("two");
    EXPECT_EQ(ds.IndexName(), "");
    EXPECT_EQ(ds.IndexNames(), (std::vector<std::string>{"one"}));
    ds.AddIndex("two", "NUMBER", false);
    EXPECT_FALSE(ds.IndexDescending("two"));
}

TEST(DataSetIndex, IndexesCanBeDefinedBeforeTheTableIsCreated)
{
    TClientDataSet ds;
    ds.AddField("TEXT", FieldType::String, 10);
    ds.AddIndex("design", "TEXT", false);
    ds.SetIndexName("design");
    ds.CreateDataSet();
    EXPECT_EQ(ds.IndexName(), "design");
}

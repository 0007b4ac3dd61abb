#include "platform/dataset/client_dataset.h"

#include <gtest/gtest.h>

#include <stdexcept>

using Platform::FieldType;
using Platform::TClientDataSet;

namespace {

void defineTypes(TClientDataSet& ds)
{
    ds.AddField("NAME", FieldType::String, 5, "Nome");
    ds.AddField("COUNT", FieldType::Integer);
    ds.AddField("SIZE", FieldType::Float);
    ds.AddField("FLAG", FieldType::Boolean, 0, {}, false);
    ds.CreateDataSet();
}

} // namespace

TEST(DataSetFields, NewRowStartsNullAndNullsReadAsEmptyValues)
{
    TClientDataSet ds;
    defineTypes(ds);
    ds.Insert();
    ds.Post();
    for (const char* name : {"NAME", "COUNT", "SIZE", "FLAG"}) {
        EXPECT_TRUE(ds.FieldByName(name).IsNull()) << name;
        EXPECT_EQ(ds.FieldByName(name).AsString(), "") << name;
    }
    EXPECT_EQ(ds.FieldByName("COUNT").AsInteger(), 0);
    EXPECT_FALSE(ds.FieldByName("FLAG").AsBoolean());
}

TEST(DataSetFields, TextIsCutToSizeInCharactersNeverInsideAUtf8Sequence)
{
    TClientDataSet ds;
    defineTypes(ds);
    ds.Insert();
    auto& name = ds.FieldByName("NAME");
    name.SetAsString("abcdefgh");
    EXPECT_EQ(name.AsString(), "abcde");
    name.SetAsString("çãõéí!"); // six characters, eleven bytes
    EXPECT_EQ(name.AsString(), "çãõéí");
    name.SetAsString("ação");  // shorter than the limit in characters though longer in bytes
    EXPECT_EQ(name.AsString(), "ação");
    name.SetAsString("");
    EXPECT_FALSE(name.IsNull());
    ds.Post();
    EXPECT_EQ(ds.FieldByName("NAME").AsString(), "");
}

TEST(DataSetFields, FloatTextIsPlainDigitsForWholeNumbers)
{
    TClientDataSet ds;
    defineTypes(ds);
    ds.Insert();
    auto& size = ds.FieldByName("SIZE");
    size.SetAsFloat(1536);
    EXPECT_EQ(size.AsString(), "1536");
    size.SetAsFloat(5368709120.0);
    EXPECT_EQ(size.AsString(), "5368709120");
    size.SetAsFloat(1e20);
    EXPECT_EQ(size.AsString(), "100000000000000000000");
    size.SetAsFloat(-0.0);
    EXPECT_EQ(size.AsString(), "0");
    size.SetAsFloat(1.5);
    EXPECT_EQ(size.AsString(), "1.5");
    size.SetAsFloat(0.1);
    EXPECT_EQ(size.AsString(), "0.1");
}

TEST(DataSetFields, ConversionsBetweenTypes)
{
    TClientDataSet ds;
    defineTypes(ds);
    ds.Insert();
    ds.FieldByName("COUNT").SetAsString(" 42 ");
    EXPECT_EQ(ds.FieldByName("COUNT").AsInteger(), 42);
    EXPECT_DOUBLE_EQ(ds.FieldByName("COUNT").AsFloat(), 42.0);
    ds.FieldByName("COUNT").SetAsString("");
    EXPECT_TRUE(ds.FieldByName("COUNT").IsNull());
    EXPECT_THROW(ds.FieldByName("COUNT").SetAsString("4x"), std::invalid_argument);
    EXPECT_THROW(ds.FieldByName("COUNT").SetAsFloat(1e12), std::out_of_range);

    ds.FieldByName("SIZE").SetAsString("2,5");
    EXPECT_DOUBLE_EQ(ds.FieldByName("SIZE").AsFloat(), 2.5);
    EXPECT_EQ(ds.FieldByName("SIZE").AsInteger(), 3);
    EXPECT_THROW(ds.FieldByName("SIZE").SetAsString("<dir>"), std::invalid_argument);

    ds.FieldByName("FLAG").SetAsBoolean(true);
    EXPECT_EQ(ds.FieldByName("FLAG").AsString(), "True");
    ds.FieldByName("FLAG").SetAsString("false");
    EXPECT_FALSE(ds.FieldByName("FLAG").IsNull());
    EXPECT_FALSE(ds.FieldByName("FLAG").AsBoolean());

    ds.FieldByName("NAME").SetAsInteger(123);
    EXPECT_EQ(ds.FieldByName("NAME").AsInteger(), 123);
    ds.FieldByName("NAME").SetAsString("abc");
    EXPECT_THROW(ds.FieldByName("NAME").AsInteger(), std::invalid_argument);
}

TEST(DataSetFields, ClearMakesNullAndGetTextHandlerReplacesDisplayText)
{
    TClientDataSet ds;
    defineTypes(ds);
    auto& count = ds.FieldByName("COUNT");
    count.OnGetText = [](const Platform::TField& f) { return f.IsNull() ? std::string("-") : std::string("#").append(f.AsString()); };
    ds.Insert();
    count.SetAsInteger(7);
    EXPECT_EQ(count.DisplayText(), "#7");
    count.Clear();
    EXPECT_TRUE(count.IsNull());
    EXPECT_EQ(count.DisplayText(), "-");
    EXPECT_EQ(ds.FieldByName("NAME").DisplayText(), "");
}

TEST(DataSetFields, FieldLookupAndDefinitionRules)
{
    TClientDataSet ds;
    defineTypes(ds);
    EXPECT_EQ(&ds.FieldByName("name"), &ds.FieldByName("NAME"));
    EXPECT_EQ(ds.FindField("MISSING"), nullptr);
    try {
        ds.FieldByName("MISSING");
        FAIL() << "no exception";
    } catch (const std::out_of_range& e) {
        EXPECT_NE(std::string(e.what()).find("MISSING"), std::string::npos);
    }
    EXPECT_EQ(ds.FieldByName("NAME").DisplayLabel(), "Nome");
    EXPECT_EQ(ds.FieldByName("COUNT").DisplayLabel(), "COUNT");
    EXPECT_FALSE(ds.FieldByName("FLAG").Visible());
    EXPECT_EQ(ds.FieldByName("SIZE").Index(), 2);
    EXPECT_THROW(ds.AddField("LATE", FieldType::String, 5), std::logic_error);

    TClientDataSet closed;
    closed.AddField("A", FieldType::String, 5);
    EXPECT_THROW(closed.AddField("a", FieldType::Integer), std::invalid_argument);
    EXPECT_FALSE(closed.Active());
    EXPECT_THROW(closed.Insert(), std::logic_error);
    EXPECT_THROW(closed.First(), std::logic_error);
}

TEST(DataSetFields, WritingInBrowseEditsTheCurrentRow)
{
    TClientDataSet ds;
    defineTypes(ds);
    EXPECT_THROW(ds.FieldByName("NAME").SetAsString("x"), std::logic_error); // no row yet
    ds.Insert();
    ds.FieldByName("NAME").SetAsString("one");
    ds.Post();
    ds.FieldByName("NAME").SetAsString("uno");
    ds.First();
    EXPECT_EQ(ds.FieldByName("NAME").AsString(), "uno");
    EXPECT_EQ(ds.RecordCount(), 1);
}

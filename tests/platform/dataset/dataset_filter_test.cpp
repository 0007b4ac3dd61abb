#include "platform/dataset/client_dataset.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using Platform::FieldType;
using Platform::TClientDataSet;

namespace {

void post(TClientDataSet& ds, const std::vector<std::string>& names)
{
    for (const auto& name : names) {
        ds.Append();
        ds.FieldByName("NAME").SetAsString(name);
        ds.Post();
    }
}

void open(TClientDataSet& ds, const std::vector<std::string>& names)
{
    ds.AddField("NAME", FieldType::String, 255);
    ds.CreateDataSet();
    ds.SetFilterField("NAME");
    post(ds, names);
}

std::vector<std::string> shown(TClientDataSet& ds)
{
    std::vector<std::string> names;
    for (int row = 0; row < ds.RecordCount(); ++row)
        names.push_back(ds.AsStringAt(row, 0));
    return names;
}

std::string current(TClientDataSet& ds) { return ds.FieldByName("NAME").AsString(); }

} // namespace

TEST(DataSetFilter, FoldsCaseAndAccentsAndMatchesDigits)
{
    TClientDataSet ds;
    open(ds, {"Ação.xml", "ACAO.TXT", "coração", "Relatório ÉPOCA", "35240112345678000190550010000001231000001234-nfe.xml",
              "outro.xml"});
    ds.SetFilterText("acao");
    EXPECT_EQ(shown(ds), (std::vector<std::string>{"Ação.xml", "ACAO.TXT", "coração"}));
    ds.SetFilterText("AÇÃO.");
    EXPECT_EQ(shown(ds), (std::vector<std::string>{"Ação.xml", "ACAO.TXT"}));
    ds.SetFilterText("epoca");
    EXPECT_EQ(shown(ds), (std::vector<std::string>{"Relatório ÉPOCA"}));
    ds.SetFilterText("0000001231");
    EXPECT_EQ(shown(ds), (std::vector<std::string>{"35240112345678000190550010000001231000001234-nfe.xml"}));
    EXPECT_EQ(ds.TotalRecordCount(), 6);
    ds.SetFilterText("nada disso");
    EXPECT_TRUE(ds.IsEmpty());
    EXPECT_EQ(ds.RecNo(), 0);
    EXPECT_TRUE(ds.Eof() && ds.Bof());
    ds.SetFilterText("");
    EXPECT_FALSE(ds.Filtered());
    EXPECT_EQ(ds.RecordCount(), 6);
}

TEST(DataSetFilter, SortsWalksAndLocatesOnlyTheShownRows)
{
    TClientDataSet ds;
    open(ds, {"b-nota.xml", "z.txt", "a-nota.xml", "c-nota.xml", "nota"});
    ds.AddIndex("idxNAME", "NAME", true);
    ds.SetFilterText(".XML");
    ds.SetIndexName("idxNAME");
    EXPECT_EQ(shown(ds), (std::vector<std::string>{"c-nota.xml", "b-nota.xml", "a-nota.xml"}));
    std::vector<std::string> walked;
    for (ds.First(); !ds.Eof(); ds.Next())
        walked.push_back(current(ds));
    EXPECT_EQ(walked, shown(ds));
    EXPECT_FALSE(ds.Locate("NAME", "z.txt", false)); // hidden rows are not found
    EXPECT_TRUE(ds.Locate("NAME", "b-nota.xml", false));
    EXPECT_EQ(ds.RecNo(), 2);
    ds.SetIndexName({});
    EXPECT_EQ(shown(ds), (std::vector<std::string>{"b-nota.xml", "a-nota.xml", "c-nota.xml"}));
    EXPECT_EQ(current(ds), "b-nota.xml");
    EXPECT_EQ(ds.RecNo(), 1);
}

TEST(DataSetFilter, CurrentRowStaysWhileShownAndTheTextOutlivesAReload)
{
    TClientDataSet ds;
    open(ds, {"um.xml", "dois.xml", "tres.txt", "quatro.xml"});
    int scrolls = 0;
    ds.AfterScroll = [&](TClientDataSet&) { ++scrolls; };
    ds.Locate("NAME", "dois.xml", false);
    ds.SetFilterText("xml");
    EXPECT_EQ(current(ds), "dois.xml");
    EXPECT_EQ(ds.RecNo(), 2);
    ds.SetFilterText("xmlz"); // nothing shown: no current row
    EXPECT_TRUE(ds.IsEmpty());
    ds.SetFilterText("quatro");
    EXPECT_EQ(current(ds), "quatro.xml"); // the current row was hidden: the first shown one
    EXPECT_GE(scrolls, 3);

    // A reload keeps the text and shows only the new rows that match it.
    ds.EmptyDataSet();
    post(ds, {"cinco.txt", "QUATRO.XML", "seis", "quatrocentos"});
    EXPECT_EQ(ds.FilterText(), "quatro");
    ds.First();
    EXPECT_EQ(shown(ds), (std::vector<std::string>{"QUATRO.XML", "quatrocentos"}));
    EXPECT_EQ(current(ds), "QUATRO.XML");
    EXPECT_EQ(ds.TotalRecordCount(), 4);

    // An edit of the filter field is matched again at the next filter text.
    ds.FieldByName("NAME").SetAsString("renamed");
    ds.SetFilterText("renamed");
    EXPECT_EQ(shown(ds), (std::vector<std::string>{"renamed"}));
}

#include "screen/listing_parser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace Cli_Vop31600;
using Platform::TClientDataSet;

namespace {

struct Shown {
    std::string name;
    int id;
    bool isDirectory;
    bool sizeNull;
};

class FileTable : public ::testing::Test {
protected:
    FileTable() { defineFileTableFields(cds); }

    std::vector<Shown> rows()
    {
        std::vector<Shown> shown;
        for (cds.First(); !cds.Eof(); cds.Next())
            shown.push_back({cds.FieldByName("DSNOME").AsString(), cds.FieldByName("IDARQUIVO").AsInteger(),
                             cds.FieldByName("BOISDIRECTORY").AsBoolean(), cds.FieldByName("FLTAMANHO").IsNull()});
        return shown;
    }

    std::vector<std::string> names()
    {
        std::vector<std::string> result;
        for (const Shown& row : rows())
            result.push_back(row.name);
        return result;
    }

    TClientDataSet cds;
};

std::string dosLine(const std::string& sizeOrDir, const std::string& name, const std::string& date = "01-15-24")
{
    return date + "  03:45PM  " + sizeOrDir + " " + name;
}

} // namespace

TEST_F(FileTable, DesignFieldsAndIndex)
{
    const std::vector<std::string> expected{"DSDTHRMODIFICACAO", "DSTIPO", "BOISDIRECTORY", "DSNOME", "IDARQUIVO",
                                            "FLTAMANHO"};
    ASSERT_EQ(cds.FieldCount(), 6);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(cds.Fields(i).FieldName(), expected[static_cast<std::size_t>(i)]);
    EXPECT_EQ(cds.FieldByName("DSNOME").Size(), 255);
    EXPECT_EQ(cds.FieldByName("DSTIPO").Size(), 50);
    EXPECT_EQ(cds.FieldByName("FLTAMANHO").DisplayLabel(), "Tamanho");
    EXPECT_FALSE(cds.FieldByName("BOISDIRECTORY").Visible());
    EXPECT_FALSE(cds.FieldByName("IDARQUIVO").Visible());
    EXPECT_TRUE(cds.FieldByName("DSDTHRMODIFICACAO").Visible());
    EXPECT_EQ(cds.IndexName(), "cdsArquivosIndex1");
    EXPECT_FALSE(cds.IndexDescending("cdsArquivosIndex1"));
    EXPECT_FALSE(cds.Active());
}

TEST_F(FileTable, LoadsRowsInNameOrderWithAllFields)
{
    CarregaGrid(cds, {"01-15-24  03:45PM       <DIR>          XMLFTP",
                      "01-15-24  03:45PM                 1234 nota fiscal.xml",
                      "02-01-24  10:00AM                 0 Zero.txt"});
    ASSERT_TRUE(cds.Active());
    EXPECT_EQ(names(), (std::vector<std::string>{"XMLFTP", "Zero.txt", "nota fiscal.xml"}));
    cds.Locate("DSNOME", "XMLFTP", false);
    EXPECT_EQ(cds.FieldByName("DSDTHRMODIFICACAO").AsString(), "01-15-24 03:45PM");
    EXPECT_EQ(cds.FieldByName("DSTIPO").AsString(), "<DIR>");
    EXPECT_TRUE(cds.FieldByName("BOISDIRECTORY").AsBoolean());
    EXPECT_TRUE(cds.FieldByName("FLTAMANHO").IsNull());
    EXPECT_EQ(cds.FieldByName("IDARQUIVO").AsInteger(), 0);
    cds.Locate("DSNOME", "nota fiscal.xml", false);
    EXPECT_EQ(cds.FieldByName("DSTIPO").AsString(), "XML");
    EXPECT_FALSE(cds.FieldByName("BOISDIRECTORY").AsBoolean());
    EXPECT_DOUBLE_EQ(cds.FieldByName("FLTAMANHO").AsFloat(), 1234);
    EXPECT_EQ(cds.FieldByName("IDARQUIVO").AsInteger(), 1);
    cds.Locate("DSNOME", "Zero.txt", false);
    EXPECT_FALSE(cds.FieldByName("FLTAMANHO").IsNull()); // zero bytes is a size, not a null
}

TEST_F(FileTable, HiddenNamesInAnyCaseLeaveGapsInTheNumbering)
{
    CarregaGrid(cds, {dosLine("10", "a.xml"), dosLine("<DIR>", "EXEFTP"), dosLine("10", "b.xml")});
    std::vector<int> ids;
    for (const Shown& row : rows())
        ids.push_back(row.id);
    EXPECT_EQ(ids, (std::vector<int>{0, 2}));

    CarregaGrid(cds, {dosLine("5", "exeftp"), dosLine("<DIR>", "RelFtp"), dosLine("<DIR>", "relftp"),
                      dosLine("1", "EXEFTP.xml"), dosLine("<DIR>", "TMPFTP"), dosLine("<DIR>", "XMLFTP")});
    const auto shown = rows();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].name, "EXEFTP.xml");
    EXPECT_EQ(shown[0].id, 3);
    EXPECT_EQ(shown[1].name, "TMPFTP");
    EXPECT_EQ(shown[2].name, "XMLFTP");
}

TEST_F(FileTable, FailingSizeStopsTheLoadAndKeepsEarlierRows)
{
    CarregaGrid(cds, {dosLine("1", "old.xml")});
    try {
        CarregaGrid(cds, {dosLine("10", "b.xml"), dosLine("20", "a.xml"), dosLine("<dir>", "lower"),
                          dosLine("30", "never.xml")});
        FAIL() << "no conversion error";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'<dir>' não é um valor de ponto flutuante válido");
    }
    EXPECT_EQ(cds.state(), TClientDataSet::State::Browse); // no half-filled row left open
    EXPECT_EQ(names(), (std::vector<std::string>{"a.xml", "b.xml"}));
}

// A listing long enough to be read on two threads gives the rows one thread gives, gaps and
// skipped lines included, and stops at a failing line wherever it falls in the chunks.
TEST_F(FileTable, AVeryLongListingLoadsAsAShortOneWould)
{
    constexpr std::size_t count = 300'000;
    std::vector<std::string> lines;
    lines.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::string name = "nota" + std::to_string(count - i) + ".xml";
        if (i % 7001 == 5)
            lines.push_back(i % 2 ? dosLine("<DIR>", "relftp") : "total 12");
        else
            lines.push_back(i % 1000 == 0 ? dosLine("<DIR>", "pasta" + std::to_string(i)) : dosLine(std::to_string(i), name));
    }
    CarregaGrid(cds, lines);
    std::vector<Shown> whole = rows();

    // The same rows loaded one short listing at a time, renumbered as the whole listing numbers them.
    std::vector<Shown> expected;
    for (std::size_t first = 0; first < count; first += 50'000) {
        TClientDataSet part;
        defineFileTableFields(part);
        CarregaGrid(part, std::vector<std::string>(lines.begin() + static_cast<std::ptrdiff_t>(first),
                                                  lines.begin() + static_cast<std::ptrdiff_t>(first + 50'000)));
        for (part.First(); !part.Eof(); part.Next())
            expected.push_back({part.FieldByName("DSNOME").AsString(),
                                part.FieldByName("IDARQUIVO").AsInteger() + static_cast<int>(first),
                                part.FieldByName("BOISDIRECTORY").AsBoolean(), part.FieldByName("FLTAMANHO").IsNull()});
    }
    std::sort(expected.begin(), expected.end(), [](const Shown& a, const Shown& b) { return a.name < b.name; });
    ASSERT_EQ(whole.size(), expected.size());
    for (std::size_t i = 0; i < whole.size(); ++i) {
        ASSERT_EQ(whole[i].name, expected[i].name) << i;
        ASSERT_EQ(whole[i].id, expected[i].id) << i;
        ASSERT_EQ(whole[i].isDirectory, expected[i].isDirectory) << i;
        ASSERT_EQ(whole[i].sizeNull, expected[i].sizeNull) << i;
    }

    for (std::size_t failing : {std::size_t{0}, std::size_t{2047}, std::size_t{2048}, std::size_t{123'457}, count - 1}) {
        std::vector<std::string> broken = lines;
        broken[failing] = dosLine("<dir>", "quebrada");
        std::size_t before = 0;
        for (std::size_t i = 0; i < failing; ++i)
            before += i % 7001 == 5 ? 0 : 1;
        EXPECT_THROW(CarregaGrid(cds, broken), EConvertError) << failing;
        EXPECT_EQ(cds.state(), TClientDataSet::State::Browse);
        EXPECT_EQ(static_cast<std::size_t>(cds.RecordCount()), before) << failing;
    }
}

TEST_F(FileTable, MalformedAndEmptyListings)
{
    CarregaGrid(cds, {"semespacos", "A B", "01-15-24  03:45PM  <DIR>  ", "01-15-24  03:45PM  <DIR>"});
    const auto shown = rows();
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[0].name, ""); // directory with an empty name sorts first
    EXPECT_TRUE(shown[0].isDirectory);
    EXPECT_EQ(shown[1].name, "<DIR>");
    EXPECT_FALSE(shown[1].isDirectory);
    EXPECT_TRUE(shown[1].sizeNull);
    EXPECT_EQ(shown[2].name, "B");
    EXPECT_EQ(shown[3].name, "semespacos");
    cds.Locate("DSNOME", "semespacos", false);
    EXPECT_EQ(cds.FieldByName("DSDTHRMODIFICACAO").AsString(), " ");

    CarregaGrid(cds, {});
    EXPECT_TRUE(cds.IsEmpty());
    EXPECT_EQ(cds.IndexName(), "cdsArquivosIndex1");
}

TEST_F(FileTable, LongValuesAreCutToTheFieldSizes)
{
    const std::string longName(300, 'n');
    const std::string longDate(60, 'd');
    CarregaGrid(cds, {longDate + " t 1 " + longName + ".xml"});
    cds.First();
    EXPECT_EQ(cds.FieldByName("DSNOME").AsString(), longName.substr(0, 255));
    EXPECT_EQ(cds.FieldByName("DSDTHRMODIFICACAO").AsString(), longDate.substr(0, 50));
}

TEST_F(FileTable, UnixListingLoadsSkippingTotalAndDots)
{
    CarregaGrid(cds, {"total 16", "drwxr-xr-x  3 ftp ftp 4096 Jan 15 15:45 .",
                      "drwxr-xr-x  3 ftp ftp 4096 Jan 15 15:45 ..",
                      "drwxr-xr-x  2 ftp ftp 4096 Jan 15  2024 XMLFTP",
                      "-rw-r--r--  1 ftp ftp 1536 Jan 15 15:45 nota 1.xml",
                      "lrwxrwxrwx  1 ftp ftp    6 Jan 15 15:45 link -> XMLFTP",
                      "-rw-r--r--  1 ftp ftp   10 Jan 15 15:45 EXEFTP"});
    const auto shown = rows();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].name, "XMLFTP");
    EXPECT_EQ(shown[0].id, 3);
    EXPECT_TRUE(shown[0].isDirectory);
    EXPECT_TRUE(shown[0].sizeNull);
    EXPECT_EQ(shown[1].name, "link");
    EXPECT_EQ(shown[2].name, "nota 1.xml");
    EXPECT_EQ(shown[2].id, 4);
    EXPECT_EQ(cds.FieldByName("FLTAMANHO").DisplayText(), "1,5 KB (1536Bytes)");
}

TEST_F(FileTable, TitleClicksToggleEachColumnAndSurviveReloads)
{
    CarregaGrid(cds, {dosLine("300", "b.xml", "03-01-24"), dosLine("100", "c.xml", "01-01-24"),
                      dosLine("200", "a.xml", "02-01-24")});
    // The first click on Nome changes nothing visible: the design index already sorts by name.
    EXPECT_EQ(toggleSortIndex(cds, "DSNOME"), "idxDSNOME");
    EXPECT_EQ(names(), (std::vector<std::string>{"a.xml", "b.xml", "c.xml"}));
    toggleSortIndex(cds, "DSNOME");
    EXPECT_EQ(names(), (std::vector<std::string>{"c.xml", "b.xml", "a.xml"}));
    toggleSortIndex(cds, "DSNOME");
    EXPECT_EQ(names(), (std::vector<std::string>{"a.xml", "b.xml", "c.xml"}));

    toggleSortIndex(cds, "FLTAMANHO");
    EXPECT_EQ(names(), (std::vector<std::string>{"c.xml", "a.xml", "b.xml"}));
    toggleSortIndex(cds, "FLTAMANHO");
    EXPECT_EQ(names(), (std::vector<std::string>{"b.xml", "a.xml", "c.xml"}));
    // Back on Nome after another column: Nome's last direction (ascending) reverses.
    toggleSortIndex(cds, "DSNOME");
    EXPECT_EQ(names(), (std::vector<std::string>{"c.xml", "b.xml", "a.xml"}));
    EXPECT_TRUE(cds.IndexDescending("idxDSNOME"));

    toggleSortIndex(cds, "DSDTHRMODIFICACAO");
    EXPECT_EQ(names(), (std::vector<std::string>{"c.xml", "a.xml", "b.xml"}));
    toggleSortIndex(cds, "DSTIPO");
    EXPECT_EQ(names(), (std::vector<std::string>{"b.xml", "c.xml", "a.xml"})); // equal kinds keep listing order

    // The chosen order survives the next listing.
    toggleSortIndex(cds, "FLTAMANHO"); // was descending: now ascending
    CarregaGrid(cds, {dosLine("5", "x"), dosLine("<DIR>", "d"), dosLine("1", "y")});
    EXPECT_EQ(cds.IndexName(), "idxFLTAMANHO");
    EXPECT_EQ(names(), (std::vector<std::string>{"d", "y", "x"})); // the null size first
    const auto indexes = cds.IndexNames();
    EXPECT_EQ(std::count(indexes.begin(), indexes.end(), "idxDSNOME"), 1);
    EXPECT_EQ(indexes.size(), 5u);
}

TEST_F(FileTable, RowRuleForDeleteAndDownload)
{
    RowCommands none = rowCommandsFor(cds); // not even created
    EXPECT_FALSE(none.deleteEnabled);
    EXPECT_FALSE(none.downloadEnabled);
    CarregaGrid(cds, {});
    none = rowCommandsFor(cds);
    EXPECT_FALSE(none.deleteEnabled);
    EXPECT_FALSE(none.downloadEnabled);

    CarregaGrid(cds, {dosLine("<DIR>", "dir"), dosLine("1", "file.xml")});
    cds.Locate("DSNOME", "dir", false);
    RowCommands directory = rowCommandsFor(cds);
    EXPECT_TRUE(directory.deleteEnabled);
    EXPECT_FALSE(directory.downloadEnabled);
    cds.Locate("DSNOME", "file.xml", false);
    RowCommands file = rowCommandsFor(cds);
    EXPECT_TRUE(file.deleteEnabled);
    EXPECT_TRUE(file.downloadEnabled);
}

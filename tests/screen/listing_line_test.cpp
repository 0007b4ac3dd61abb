#include "screen/listing_parser.h"

#include <gtest/gtest.h>

using namespace Cli_Vop31600;

namespace {

ListingEntry split(const std::string& line)
{
    ListingEntry e;
    DadosLine(line, e.modification, e.kind, e.isDirectory, e.sizeText, e.name);
    return e;
}

void expectEntry(const ListingEntry& e, const std::string& modification, const std::string& kind,
                 bool isDirectory, const std::string& sizeText, const std::string& name)
{
    EXPECT_EQ(e.modification, modification);
    EXPECT_EQ(e.kind, kind);
    EXPECT_EQ(e.isDirectory, isDirectory);
    EXPECT_EQ(e.sizeText, sizeText);
    EXPECT_EQ(e.name, name);
}

} // namespace

TEST(DadosLine, SampleDirectoryAndFileLines)
{
    expectEntry(split("01-15-24  03:45PM       <DIR>          XMLFTP"), "01-15-24 03:45PM", "<DIR>", true, "",
                "XMLFTP");
    expectEntry(split("01-15-24  03:45PM                 1234 nota fiscal.xml"), "01-15-24 03:45PM", "XML", false,
                "1234", "nota fiscal.xml");
}

TEST(DadosLine, NameKeepsInnerAndTrailingSpacesAndLosesLeadingOnes)
{
    expectEntry(split("\t 01-15-24 03:45PM 12 \t  a  b.txt  "), "01-15-24 03:45PM", "TXT  ", false, "12",
                "a  b.txt  ");
}

TEST(DadosLine, FieldsEndOnlyAtASpaceNotATab)
{
    expectEntry(split("01-15-24\t03:45PM 10 x.xml y"), "01-15-24\t03:45PM 10", "", false, "x.xml", "y");
}

TEST(DadosLine, KindIsTheUpperCasedLastExtension)
{
    EXPECT_EQ(split("d t 1 a.tar.gz").kind, "GZ");
    EXPECT_EQ(split("d t 1 noextension").kind, "");
    EXPECT_EQ(split("d t 1 trailing.").kind, "");
    EXPECT_EQ(split("d t 1 .hidden").kind, "HIDDEN");
    EXPECT_EQ(split("d t 1 dir.d\\file").kind, "");
    EXPECT_EQ(split("d t 1 c.d:stream").kind, "");
    EXPECT_EQ(split("d t 1 Ação.Xml").kind, "XML");
    EXPECT_EQ(split("d t 1 nota.çml").kind, "çML"); // only a to z are upper-cased
}

TEST(DadosLine, MalformedLines)
{
    // No space at all: the whole line is the name.
    expectEntry(split("nota.xml"), " ", "XML", false, "", "nota.xml");
    expectEntry(split("semponto"), " ", "", false, "", "semponto");
    // Two fields: the second is the name.
    expectEntry(split("A B"), "A ", "", false, "", "B");
    // <DIR> followed only by spaces: a directory with an empty name.
    expectEntry(split("01-15-24  03:45PM  <DIR>   "), "01-15-24 03:45PM", "<DIR>", true, "", "");
    // <DIR> ending the line: the third field never ended, so <DIR> is the name of a file.
    expectEntry(split("01-15-24  03:45PM  <DIR>"), "01-15-24 03:45PM", "", false, "", "<DIR>");
    // The marker is case-sensitive.
    expectEntry(split("01-15-24  03:45PM  <dir>  x"), "01-15-24 03:45PM", "", false, "<dir>", "x");
    expectEntry(split(""), " ", "", false, "", "");
    expectEntry(split("   \x01\x02  "), " ", "", false, "", "");
}

TEST(UnixListingLines, FileDirectorySymlinkAndYearForm)
{
    ListingEntry file = parseListingLine("-rw-r--r--    1 ftp      ftp          1536 Jan 15 15:45 nota fiscal.xml");
    expectEntry(file, "Jan 15 15:45", "XML", false, "1536", "nota fiscal.xml");

    ListingEntry dir = parseListingLine("drwxr-xr-x    2 ftp      ftp          4096 Jan 15  2024 XMLFTP");
    expectEntry(dir, "Jan 15  2024", "<DIR>", true, "", "XMLFTP");

    ListingEntry link = parseListingLine("lrwxrwxrwx    1 ftp      ftp            11 Mar  3 09:05 atual -> notas/2024");
    expectEntry(link, "Mar  3 09:05", "", false, "11", "atual");

    // Without the group column, with an ACL mark, and a name starting with a digit.
    expectEntry(parseListingLine("-rw-r--r--+ 1 owner 42 Dec 31 23:59 2024 resumo.txt"), "Dec 31 23:59", "TXT", false,
                "42", "2024 resumo.txt");
}

TEST(UnixListingLines, RecognitionAndTotalLine)
{
    EXPECT_TRUE(isUnixListingLine("drwxr-xr-x 2 a b 0 Jan 1 00:00 x"));
    EXPECT_TRUE(isUnixListingLine("-rwsr-sr-t 2 a b 0 Jan 1 00:00 x"));
    EXPECT_FALSE(isUnixListingLine("01-15-24  03:45PM  <DIR>  x"));
    EXPECT_FALSE(isUnixListingLine("drwxr-xr-"));
    EXPECT_FALSE(isUnixListingLine("drwxr-xr-xx 2 a b 0 Jan 1 00:00 x"));

    EXPECT_TRUE(isListingTotalLine("total 128"));
    EXPECT_TRUE(isListingTotalLine("total 0\r"));
    EXPECT_FALSE(isListingTotalLine("total"));
    EXPECT_FALSE(isListingTotalLine("total 12 files"));
    EXPECT_FALSE(isListingTotalLine("01-15-24  03:45PM  12 total 3"));

    // A permission field without a date that fits falls back to the MS-DOS rules.
    ListingEntry odd = parseListingLine("drwxr-xr-x broken line");
    expectEntry(odd, "drwxr-xr-x broken", "", false, "", "line");
}

#include "screen/listing_parser.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

using namespace Cli_Vop31600;

TEST(ConvertBytes, UnitsOfPowersOf1024WithEqualityStayingBelow)
{
    const struct {
        std::int64_t bytes;
        const char* text;
    } cases[] = {
        {0, "0 Bytes"},
        {1023, "1023 Bytes"},
        {1024, "1024 Bytes"},
        {1025, "1 KB"},
        {1536, "1,5 KB"},
        {1048576, "1024 KB"},
        {1048577, "1 MB"},
        {5368709120, "5 GB"},
        {1099511627776, "1024 GB"},
        {1099511627777, "1 TB"},
        {-5, "-5 Bytes"},
        {std::numeric_limits<std::int64_t>::min(), "-9223372036854775808 Bytes"},
        {std::numeric_limits<std::int64_t>::max(), "8 EB"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ConvertBytes(c.bytes, ","), c.text) << c.bytes;
}

TEST(ConvertBytes, TwoDecimalsRoundedAndTrailingZerosDropped)
{
    EXPECT_EQ(ConvertBytes(1126, ","), "1,1 KB");     // 1.0996 -> 1.1
    EXPECT_EQ(ConvertBytes(1260, ","), "1,23 KB");    // 1.2305
    EXPECT_EQ(ConvertBytes(1029, ","), "1 KB");       // 1.0049 -> 1.00
    EXPECT_EQ(ConvertBytes(1034, ","), "1,01 KB");    // 1.0098
    EXPECT_EQ(ConvertBytes(1048565, ","), "1023,99 KB"); // 1023.9893
    EXPECT_EQ(ConvertBytes(1048575, ","), "1024 KB"); // rounds up to the unit's limit
    EXPECT_EQ(ConvertBytes(1536, "."), "1.5 KB");
}

TEST(ConvertBytes, DefaultSeparatorComesFromTheLocale)
{
    // The tests run with LC_ALL=pt_BR.UTF-8.
    EXPECT_EQ(ConvertBytes(1536), "1,5 KB");
}

TEST(SizeText, DigitsWithOptionalSignOnly)
{
    EXPECT_DOUBLE_EQ(sizeTextToNumber("1234"), 1234);
    EXPECT_DOUBLE_EQ(sizeTextToNumber("+7"), 7);
    EXPECT_DOUBLE_EQ(sizeTextToNumber("-7"), -7);
    EXPECT_DOUBLE_EQ(sizeTextToNumber("0005368709120"), 5368709120.0);
    for (const char* bad : {"<dir>", "1,5", "1.5", "12a", "+", "-", " 1", "1 ", "١٢", "0x10"})
        EXPECT_THROW(sizeTextToNumber(bad), EConvertError) << bad;
    EXPECT_THROW(sizeTextToNumber(std::string(400, '9')), EConvertError);
}

TEST(SizeText, SizeCellOfFilesAndDirectories)
{
    Platform::TClientDataSet cds;
    defineFileTableFields(cds);
    CarregaGrid(cds, {"01-15-24  03:45PM  1536 a", "01-15-24  03:45PM  0 b", "01-15-24  03:45PM  <DIR> c",
                      "01-15-24  03:45PM  5368709120 d", "01-15-24  03:45PM  99999999999999999999 e"});
    const char* expected[] = {"1,5 KB (1536Bytes)", "0 Bytes (0Bytes)", "", "5 GB (5368709120Bytes)",
                              "8 EB (100000000000000000000Bytes)"};
    int row = 0;
    for (cds.First(); !cds.Eof(); cds.Next(), ++row) {
        EXPECT_EQ(sizeCellText(cds.FieldByName("FLTAMANHO")), expected[row]) << row;
        EXPECT_EQ(cds.FieldByName("FLTAMANHO").DisplayText(), expected[row]) << row;
    }
    EXPECT_EQ(row, 5);
}

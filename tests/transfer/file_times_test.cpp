// The times a batch download compares: listings as the common servers write them, MDTM replies.
#include "transfer/file_times.h"

#include <gtest/gtest.h>

#include <ctime>

using namespace Cli_Vop31601;

namespace {

// "2024-01-15 15:45" as this machine's local time.
std::time_t local(const char* text)
{
    std::tm when{};
    strptime(text, "%Y-%m-%d %H:%M", &when);
    when.tm_isdst = -1;
    return std::mktime(&when);
}

} // namespace

TEST(FileTimes, ListingsOfTheCommonServersReadAsLocalTime)
{
    const std::time_t now = local("2024-03-10 12:00");
    EXPECT_EQ(listedTime("01-15-24 03:45PM", now), local("2024-01-15 15:45"));
    EXPECT_EQ(listedTime("12-31-99 12:05AM", now), local("1999-12-31 00:05"));
    EXPECT_EQ(listedTime("01-15-2024 15:45", now), local("2024-01-15 15:45"));
    EXPECT_EQ(listedTime("Jan 15 15:45", now), local("2024-01-15 15:45"));
    // Without a year, a date ahead of now is last year's.
    EXPECT_EQ(listedTime("Dec 24 08:00", now), local("2023-12-24 08:00"));
    EXPECT_EQ(listedTime("Jun  2  2021", now), local("2021-06-02 00:00"));
    for (const char* unreadable : {"", "ontem", "13-15-24 03:45PM", "01-15-24 13:45PM", "Foo 15 15:45", "Jan 15"})
        EXPECT_EQ(listedTime(unreadable, now), std::nullopt) << unreadable;
}

TEST(FileTimes, MdtmIsUtc)
{
    EXPECT_EQ(mdtmTime("213 20240115154500"), std::time_t{1705333500});
    EXPECT_EQ(mdtmTime("213 20240115154500.123"), std::time_t{1705333500});
    EXPECT_EQ(mdtmTime("550 Could not get file modification time."), std::nullopt);
    EXPECT_EQ(mdtmTime(""), std::nullopt);
}

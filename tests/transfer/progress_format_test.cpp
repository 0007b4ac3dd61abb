#include "transfer/progress_format.h"

#include <QLocale>
#include <gtest/gtest.h>

using namespace Cli_Vop31601;

TEST(ProgressFormat, SpeedIsKilobytesPerTrueSecond)
{
    double speed = -1;
    ASSERT_TRUE(averageSpeed(1048576, 2.5, speed));
    EXPECT_DOUBLE_EQ(speed, 409.6);
    ASSERT_TRUE(averageSpeed(65536, 1.0, speed));
    EXPECT_DOUBLE_EQ(speed, 64.0);
    ASSERT_TRUE(averageSpeed(65536, 4.0, speed));
    EXPECT_DOUBLE_EQ(speed, 16.0);
    // 1 h 2 min 3.5 s counts as 3723.5 s; 19 hours count in full (no 16-bit wrap of the seconds).
    ASSERT_TRUE(averageSpeed(3723500 * 1024LL / 1000, 3723.5, speed));
    EXPECT_NEAR(speed, 1.0, 1e-9);
    ASSERT_TRUE(averageSpeed(68400LL * 1024, 68400.0, speed));
    EXPECT_DOUBLE_EQ(speed, 1.0);
    // A 6 GiB transfer keeps its count (64-bit).
    ASSERT_TRUE(averageSpeed(6LL * 1024 * 1024 * 1024, 1.0, speed));
    EXPECT_DOUBLE_EQ(speed, 6.0 * 1024 * 1024);
}

TEST(ProgressFormat, NoTimeElapsedKeepsTheLastSpeed)
{
    double speed = 12.5;
    EXPECT_FALSE(averageSpeed(4096, 0.0, speed));
    EXPECT_DOUBLE_EQ(speed, 12.5);
}

TEST(ProgressFormat, TextsFollowTheLocaleSeparators)
{
    EXPECT_EQ(formatSpeed(409.6, ","), "409,60 KB/s");
    EXPECT_EQ(formatSpeed(0.0, ","), "0,00 KB/s");
    EXPECT_EQ(formatSpeed(3.0, "."), "3.00 KB/s");
    EXPECT_EQ(formatSpeed(123456.789, ","), "123456,79 KB/s");
    EXPECT_EQ(formatElapsed(75.0, ":"), "00:01:15");
    EXPECT_EQ(formatElapsed(3723.5, ":"), "01:02:03");
    EXPECT_EQ(formatElapsed(86400.0 + 61, ":"), "00:01:01");
}

TEST(ProgressFormat, MessagesFillPlaceholdersInOrder)
{
    EXPECT_EQ(formatMessage("Velocidade Upload %s (Arquivo %s de %s).", {"3,00 KB/s", "3", "5"}),
              "Velocidade Upload 3,00 KB/s (Arquivo 3 de 5).");
    EXPECT_EQ(formatMessage("Transferência Completa (%s Bytes Recebidos em %s Segundos).", {"48213", "00:01:15"}),
              "Transferência Completa (48213 Bytes Recebidos em 00:01:15 Segundos).");
    // A cause that itself holds "%s" is not expanded again.
    EXPECT_EQ(formatMessage("Falha na transferência: %s.", {"550 %s"}), "Falha na transferência: 550 %s.");
}

TEST(ProgressFormat, PortugueseLocaleGivesCommaAndColon)
{
    if (QLocale::system().name() != QLatin1String("pt_BR"))
        GTEST_SKIP() << "runs under LC_ALL=pt_BR.UTF-8";
    EXPECT_EQ(localeDecimalSeparator(), QStringLiteral(","));
    EXPECT_EQ(localeTimeSeparator(), QStringLiteral(":"));
}

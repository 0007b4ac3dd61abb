// The benchmark's own instruments: a probe that misses a block of the GUI thread or miscounts the
// progress bar would print targets as met that are not.
#include "bench/transfer/gui_probe.h"
#include "bench/transfer/screen_session.h"

#include <QElapsedTimer>
#include <QProgressBar>
#include <QTest>
#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <thread>

using BenchSupport::GuiFigures;
using BenchSupport::GuiProbe;
using BenchSupport::summariseBarChanges;

namespace {

void runEventLoopFor(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
}

} // namespace

TEST(GuiProbe, ReportsABlockOfTheGuiThreadAndCountsBarChanges)
{
    QProgressBar bar;
    bar.setRange(0, 1000);
    GuiProbe probe(&bar, 5);
    probe.start();
    runEventLoopFor(30);
    bar.setValue(100);
    bar.setValue(100);  // no change, no update
    std::this_thread::sleep_for(std::chrono::milliseconds(120));  // the GUI thread is kept busy
    runEventLoopFor(30);
    bar.setValue(700);
    runEventLoopFor(10);
    bar.setValue(0);  // the reset at the end
    const GuiFigures figures = probe.stop();

    EXPECT_GE(figures.maxTickGapMs, 120.0);
    EXPECT_GT(figures.ticks, 3);
    EXPECT_EQ(figures.barUpdates, 2);
    EXPECT_GT(figures.barWindowSeconds, 0.0);
    EXPECT_GE(figures.maxBarGapMs, 120.0);
}

TEST(GuiProbe, ABlockRightBeforeStopStillCounts)
{
    QProgressBar bar;
    GuiProbe probe(&bar, 5);
    probe.start();
    runEventLoopFor(20);
    std::this_thread::sleep_for(std::chrono::milliseconds(80));
    EXPECT_GE(probe.stop().maxTickGapMs, 80.0);
}

TEST(GuiProbe, BarChangesOutsideTheWindowAreIgnored)
{
    QProgressBar bar;
    bar.setRange(0, 10);
    GuiProbe probe(&bar, 5);
    bar.setValue(3);
    probe.start();
    bar.setValue(4);
    const GuiFigures figures = probe.stop();
    bar.setValue(5);
    EXPECT_EQ(figures.barUpdates, 1);
    EXPECT_EQ(figures.barUpdatesPerSecond(), 0.0);  // one change spans no time: no rate
}

TEST(BarSummary, RateWindowAndLongestGap)
{
    GuiFigures figures;
    summariseBarChanges({{0, 10}, {30'000'000, 20}, {100'000'000, 30}, {100'500'000, 0}}, figures);
    EXPECT_EQ(figures.barUpdates, 3);
    EXPECT_DOUBLE_EQ(figures.barWindowSeconds, 0.1);
    EXPECT_DOUBLE_EQ(figures.maxBarGapMs, 70.0);
    EXPECT_DOUBLE_EQ(figures.barUpdatesPerSecond(), 30.0);

    // A bar that only ever went back to 0 was still updated once; nothing changed is nothing.
    summariseBarChanges({{5, 0}}, figures);
    EXPECT_EQ(figures.barUpdates, 1);
    EXPECT_EQ(figures.maxBarGapMs, 0.0);
    summariseBarChanges({}, figures);
    EXPECT_EQ(figures.barUpdates, 0);
    EXPECT_EQ(figures.barWindowSeconds, 0.0);
}

TEST(HostPort, SplitsAndRefusesMalformedText)
{
    EXPECT_EQ(BenchSupport::splitHostPort("127.0.0.1:8080"), std::make_pair(std::string("127.0.0.1"), 8080));
    for (const char* bad : {"127.0.0.1", ":80", "host:", "host:0", "host:70000", "host:80x", "host:x"})
        EXPECT_ANY_THROW(BenchSupport::splitHostPort(bad)) << bad;
}

// The worker's progress reaching the view without the worker ever waiting on it.
#include "tests/transfer/fake_view.h"
#include "transfer/progress_reporter.h"

#include <QTest>
#include <gtest/gtest.h>

using Cli_Vop31601::ProgressReporter;

// A throttled server sends a burst, then pauses: the blocks of the burst come inside one update
// interval, and the last of them must still reach the bar during the pause.
TEST(ProgressReporter, ABurstThenAPauseStillShowsTheLastBlock)
{
    FakeView view;
    ProgressReporter reporter{Cli_Vop31601::ViewHandle(&view)};
    reporter.setMax(1000);
    reporter.publish(true);
    QCoreApplication::processEvents();  // the start is on the screen
    for (int block = 1; block <= 4; ++block) {
        reporter.setText("Velocidade Download " + std::to_string(block));
        reporter.setPosition(block * 100);
        reporter.publish(false);
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return view.position == 400; }, 1000));
    EXPECT_EQ(view.text, "Velocidade Download 4");
}

// The end of a transfer is shown before what the worker synchronizes next, even when a coalesced
// update is still waiting for its interval.
TEST(ProgressReporter, AForcedUpdateOvertakesAWaitingOne)
{
    FakeView view;
    ProgressReporter reporter{Cli_Vop31601::ViewHandle(&view)};
    reporter.setMax(1000);
    reporter.publish(true);
    reporter.setPosition(500);
    reporter.publish(false);  // inside the interval: waits
    reporter.setText("Transferência Completa");
    reporter.setPosition(0);
    reporter.publish(true);
    QCoreApplication::processEvents();  // queued calls only, no timers
    EXPECT_EQ(view.text, "Transferência Completa");
    EXPECT_EQ(view.position, 0);
    QTest::qWait(80);  // the waiting update finds nothing newer to apply
    EXPECT_EQ(view.position, 0);
}

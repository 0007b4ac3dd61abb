// The transfer worker on a real screen with no server anywhere: the jobs that transfer nothing.
#include "tests/screen/screen_harness.h"
#include "transfer/ThrCtrlArqXMLNFe.h"

#include "platform/status_bar.h"

#include <QTest>
#include <gtest/gtest.h>

using namespace Cli_Vop31600;

TEST(Worker, AJobOtherThanDownloadOrUploadTransfersNothingAndEndsReady)
{
    ScreenHarness screen;
    const auto promptsBefore = screen.prompts->transcript().size();
    screen.form->ControlaComponentes(false, true);
    std::weak_ptr<Cli_Vop31601::TThrCtrlArqXMLNFe> watch = Cli_Vop31601::TThrCtrlArqXMLNFe::Create(2, screen.form);
    EXPECT_TRUE(QTest::qWaitFor([&] { return watch.expired(); }, 10000));
    EXPECT_EQ(screen.prompts->transcript().size(), promptsBefore);  // no dialog, no message
    EXPECT_TRUE(screen.form->habilitado());
    EXPECT_TRUE(screen.form->processoParado());
    EXPECT_FALSE(screen.form->btnAbortar->isEnabled());
    EXPECT_EQ(screen.form->StatusBar->PanelText(1), QString());
}

TEST(Worker, ADownloadOnAnEmptyTableAsksNothing)
{
    ScreenHarness screen;
    const auto promptsBefore = screen.prompts->transcript().size();
    std::weak_ptr<Cli_Vop31601::TThrCtrlArqXMLNFe> watch = Cli_Vop31601::TThrCtrlArqXMLNFe::Create(0, screen.form);
    EXPECT_TRUE(QTest::qWaitFor([&] { return watch.expired(); }, 10000));
    EXPECT_EQ(screen.prompts->transcript().size(), promptsBefore);
    EXPECT_TRUE(screen.form->habilitado());
}

// The transfer worker against a fake view, with no server anywhere: the jobs that transfer nothing.
#include "tests/transfer/fake_view.h"
#include "transfer/transfer_worker.h"

#include <QTest>
#include <gtest/gtest.h>

using namespace Cli_Vop31601;

namespace {

bool runToEnd(TransferJob job, FakeView& view)
{
    std::weak_ptr<TThrCtrlArqXMLNFe> watch = TThrCtrlArqXMLNFe::Create(std::move(job), ViewHandle(&view));
    return QTest::qWaitFor([&] { return watch.expired(); }, 10000);
}

} // namespace

TEST(Worker, JobsThatTransferNothingAskNothingAndEndReady)
{
    TransferJob other;
    other.tag = 2;
    TransferJob emptyTable;  // a download with no current row
    TransferJob directoryRow;
    directoryRow.hasRow = directoryRow.rowIsDirectory = true;
    directoryRow.rowName = "2024";
    for (TransferJob* job : {&other, &emptyTable, &directoryRow}) {
        FakeView view;
        ASSERT_TRUE(runToEnd(*job, view));
        EXPECT_TRUE(view.saveOffers.empty());
        EXPECT_EQ(view.states, (std::vector<std::pair<bool, bool>>{{true, true}}));
        EXPECT_EQ(view.text, "");
        EXPECT_EQ(view.ended, 1);
    }
}

TEST(Worker, ACancelledSaveDialogOffersTheBareNameAndTransfersNothing)
{
    TransferJob job;
    job.hasRow = true;
    job.rowName = "../notas/NFe1.xml";
    FakeView view;
    ASSERT_TRUE(runToEnd(job, view));
    EXPECT_EQ(view.saveOffers, std::vector<std::string>{"NFe1.xml"});
    EXPECT_EQ(view.states.size(), 1u);
    EXPECT_EQ(view.ended, 1);
}

TEST(Worker, AScreenGoneBeforeTheStartIsNeverTouched)
{
    auto view = std::make_unique<FakeView>();
    ViewHandle handle(view.get());
    view.reset();
    std::weak_ptr<TThrCtrlArqXMLNFe> watch = TThrCtrlArqXMLNFe::Create(TransferJob{}, handle);
    EXPECT_TRUE(QTest::qWaitFor([&] { return watch.expired(); }, 10000));
}

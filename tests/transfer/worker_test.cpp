// The transfer worker against a fake view: the jobs that transfer nothing, and a batch's failures
// as its report tells them.
#include "tests/support/ftp_fixture.h"
#include "tests/transfer/fake_view.h"
#include "transfer/transfer_worker.h"

#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

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

// Each file's own failure reaches the report told by its kind: one the server refuses, one that
// cannot be put in place here; the other files arrive over the same connection.
TEST(Worker, ABatchReportsEachFileByItsOwnFailure)
{
    TestSupport::ScratchDir store("worker-store"), folder("worker-folder");
    for (const char* name : {"a.xml", "b.xml", "c.xml"})
        std::ofstream(store / name) << "<nfe>" << name << "</nfe>";
    std::filesystem::create_directory(folder / "b.xml");
    TestSupport::FtpFixtureOptions options;
    options.host = "127.0.94.10";
    options.root = store.path();
    TestSupport::FtpFixture server(options);

    TransferJob job;
    job.batch = true;
    job.connection.ftp.host = options.host;
    job.connection.ftp.user = options.user;
    job.connection.ftp.password = options.password;
    job.directory = "/";
    job.folder = folder.path();
    job.batchFiles = {{"a.xml", -1, false, ""}, {"falta.xml", -1, false, ""}, {"b.xml", -1, false, ""},
                      {"c.xml", -1, false, ""}};
    job.messages[3] = "Transferência Cancelada.";
    FakeView view;
    ASSERT_TRUE(runToEnd(job, view));
    const std::string report = view.batchReport;
    EXPECT_EQ(report.rfind("Não foi possível baixar 2 arquivos:\nfalta.xml: não encontrado ou recusado pelo servidor (", 0),
              0u) << report;
    EXPECT_NE(report.find("\nb.xml: Não foi possível gravar o arquivo \"" + (folder / "b.xml") + "\": é uma pasta"),
              std::string::npos) << report;
    EXPECT_TRUE(std::filesystem::is_regular_file(folder / "a.xml"));
    EXPECT_TRUE(std::filesystem::is_regular_file(folder / "c.xml"));
    EXPECT_EQ(view.text.rfind("Transferência Completa (2 Arquivos, ", 0), 0u) << view.text;
}

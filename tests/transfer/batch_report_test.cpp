#include "transfer/batch_report.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace Cli_Vop31601;

TEST(BatchReport, NamesThatCannotBeLocalFilesAndTheCappedReport)
{
    for (const char* bad : {"", ".", "..", "a/b.xml", "..\\x.xml", "/etc/passwd", "a\nb"})
        EXPECT_TRUE(unusableLocalName(bad).has_value()) << bad;
    for (const char* good : {"nota.xml", "..nota", "Ação 12.xml", "a..b"})
        EXPECT_FALSE(unusableLocalName(good).has_value()) << good;

    std::vector<std::pair<std::string, std::string>> failures;
    for (int i = 0; i < 23; ++i)
        failures.emplace_back("n" + std::to_string(i) + ".xml", "motivo");
    const std::string report = batchFailureReport(failures);
    EXPECT_EQ(report.rfind("Não foi possível baixar 23 arquivos:\nn0.xml: motivo\n", 0), 0u);
    EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 21);
    EXPECT_NE(report.find("n19.xml: motivo\n... e mais 3 arquivos."), std::string::npos);
    EXPECT_EQ(report.find("n20.xml"), std::string::npos);
    EXPECT_EQ(batchFailureReport({{"a.xml", "x"}}), "Não foi possível baixar 1 arquivo:\na.xml: x");
    EXPECT_EQ(batchCancelledText("Transferência Cancelada.", 1), "Transferência Cancelada. 1 arquivo concluído.");
}

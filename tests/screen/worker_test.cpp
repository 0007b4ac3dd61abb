// The transfer worker on a real screen with no server anywhere: the jobs that transfer nothing.
#include "package/module_globals.h"
#include "screen/ctrl_arq_xml_nfe.h"
#include "transfer/ThrCtrlArqXMLNFe.h"

#include "mrv/application.h"
#include "mrv/quelbar.h"
#include "mrv/scripted_prompts.h"
#include "platform/status_bar.h"

#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>
#include <gtest/gtest.h>

using namespace Cli_Vop31600;

namespace {

struct Screen {
    Screen()
    {
        auto scripted = std::make_unique<Mrv::ScriptedPrompts>();
        prompts = scripted.get();
        Mrv::installPrompts(std::move(scripted));
        Quelbar::SetWebServer("127.0.0.1", 1);
        window.setCentralWidget(area);
        Mrv::Application::instance().setMdiArea(area);
        boStCriado = false;
        CriaCtrlArqXMLNFe();
        form = frmCtrlArqXMLNFe;
    }
    ~Screen()
    {
        delete form->subWindow();
        boStCriado = false;
        Mrv::Application::instance().setMdiArea(nullptr);
        Mrv::installPrompts(nullptr);
    }
    QMainWindow window;
    QMdiArea* area = new QMdiArea(&window);
    Mrv::ScriptedPrompts* prompts = nullptr;
    TfrmCtrlArqXMLNFe* form = nullptr;
};

} // namespace

TEST(Worker, AJobOtherThanDownloadOrUploadTransfersNothingAndEndsReady)
{
    Screen screen;
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
    Screen screen;
    const auto promptsBefore = screen.prompts->transcript().size();
    std::weak_ptr<Cli_Vop31601::TThrCtrlArqXMLNFe> watch = Cli_Vop31601::TThrCtrlArqXMLNFe::Create(0, screen.form);
    EXPECT_TRUE(QTest::qWaitFor([&] { return watch.expired(); }, 10000));
    EXPECT_EQ(screen.prompts->transcript().size(), promptsBefore);
    EXPECT_TRUE(screen.form->habilitado());
}

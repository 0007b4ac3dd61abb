// The module's life inside a host: descriptor, unit table, start and stop, exported globals.
#include "mrv/application.h"
#include "mrv/module_loader.h"
#include "mrv/quelbar.h"
#include "mrv/scripted_prompts.h"
#include "mrv/units.h"
#include "tests/support/test_paths.h"

#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string modulePath() { return TestPaths::binDir() + "/Pkg_Vop31600.so"; }

std::vector<std::string> names(const char* const* list, int count) { return {list, list + count}; }

const char* const textGlobals[] = {"stConnectStr", "SHttpProxyUserId", "SHttpProxyPort",
                                   "SHttpProxyHost", "SHttpPort", "SHttpHosAddr"};

} // namespace

TEST(ModuleLife, DescriptorAndVersion)
{
    Mrv::LoadedModule module(modulePath());
    const auto& d = module.descriptor();
    EXPECT_EQ(d.flags & (Mrv::pfRunOnly | Mrv::pfNeverBuild | Mrv::pfPackageModule),
              Mrv::pfRunOnly | Mrv::pfNeverBuild | Mrv::pfPackageModule);
    EXPECT_EQ(names(d.requiresNames, d.requiresCount),
              (std::vector<std::string>{"_mrv", "_rtl", "_qr", "_lib", "_vop", "_frm", "_db", "_vcl"}));
    ASSERT_GE(d.containsCount, 3);
    EXPECT_EQ(names(d.containsNames, 3), (std::vector<std::string>{"Pkg_Vop31600", "Cli_Vop31601", "Cli_Vop31600"}));
    EXPECT_EQ(d.version.major, 6);
    EXPECT_EQ(d.version.minor, 39);
    EXPECT_EQ(d.version.release, 15);
    EXPECT_EQ(d.version.build, 0);
    EXPECT_STREQ(d.version.versionText, "6.39.015");
    EXPECT_EQ(d.version.language, 0x0416);
    EXPECT_EQ(d.version.codePage, 1252);
}

TEST(ModuleLife, UnitTableEndsWithTheModulesOwnUnitsAndCountersBalance)
{
    const int before = Mrv::unitUseCount("Consiste");
    {
        Mrv::LoadedModule module(modulePath());
        auto table = reinterpret_cast<GetPackageInfoTableProc>(module.symbol("GetPackageInfoTable"))();
        ASSERT_GE(table->unitCount, 3);
        int hostUnits = 0;
        Mrv::hostLibraryUnits(hostUnits);
        EXPECT_EQ(table->unitCount, hostUnits + 2);  // nothing invented besides the two own units
        EXPECT_STREQ(table->units[table->unitCount - 2].name, "Cli_Vop31601");
        EXPECT_STREQ(table->units[table->unitCount - 1].name, "Cli_Vop31600");
        EXPECT_EQ(Mrv::unitUseCount("Consiste"), before - 1);  // Initialize started it once more
    }
    EXPECT_EQ(Mrv::unitUseCount("Consiste"), before);  // Finalize balanced it
}

TEST(ModuleLife, InitializeClearsTheFlagAndFinalizeEmptiesTheTextsButLeavesTheScreen)
{
    auto scripted = std::make_unique<Mrv::ScriptedPrompts>();
    auto* prompts = scripted.get();
    Mrv::installPrompts(std::move(scripted));
    Quelbar::SetWebServer("127.0.0.1", 1);
    QMainWindow window;
    auto* area = new QMdiArea(&window);
    window.setCentralWidget(area);
    Mrv::Application::instance().setMdiArea(area);
    {
        Mrv::LoadedModule module(modulePath());
        module.data<bool>("boStCriado") = true;  // whatever the flag held before the next start
    }
    {
        Mrv::LoadedModule module(modulePath());
        auto& created = module.data<bool>("boStCriado");
        EXPECT_FALSE(created);
        module.iniProc();
        EXPECT_TRUE(created);  // the settings failed, the screen is open all the same
        ASSERT_NE(module.data<void*>("frmCtrlArqXMLNFe"), nullptr);
        EXPECT_EQ(prompts->transcript().size(), 1u);
        for (const char* text : textGlobals)
            module.data<std::string>(text) = std::string(text) + " set";
    }
    // The loader's Finalize ran: texts emptied, the open screen left alone.
    Mrv::LoadedModule again(modulePath());  // the module stayed mapped: same globals
    for (const char* text : textGlobals)
        EXPECT_TRUE(again.data<std::string>(text).empty()) << text;
    auto* screen = static_cast<QWidget*>(again.data<void*>("frmCtrlArqXMLNFe"));
    ASSERT_NE(screen, nullptr);
    auto* sub = qobject_cast<QMdiSubWindow*>(screen->parentWidget());
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(sub->mdiArea(), area);
    delete sub;
    Mrv::Application::instance().setMdiArea(nullptr);
    Mrv::installPrompts(nullptr);
}

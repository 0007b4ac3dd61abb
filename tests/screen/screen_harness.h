#pragma once

#include "package/module_globals.h"
#include "screen/ctrl_arq_xml_nfe.h"

#include "mrv/application.h"
#include "mrv/quelbar.h"
#include "mrv/scripted_prompts.h"

#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>

#include <gtest/gtest.h>

#include <cstdint>

#include <string>

// A loopback address of its own for each test ("<prefix>N"): ctest runs the tests of a file side by
// side, and the screen's FTP client always uses port 21.
inline std::string loopbackOfThisTest(const std::string& prefix)
{
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::uint32_t hash = 2166136261u;
    for (unsigned char c : name)
        hash = (hash ^ c) * 16777619u;
    return prefix + std::to_string(10 + hash % 240);
}

// A real screen opened in a real MDI window, with scripted prompts. By default no application
// server answers anywhere: opening shows the settings error and leaves the screen open and usable.
struct ScreenHarness {
    explicit ScreenHarness(const std::string& serverHost = "127.0.0.1", int serverPort = 1)
    {
        auto scripted = std::make_unique<Mrv::ScriptedPrompts>();
        prompts = scripted.get();
        Mrv::installPrompts(std::move(scripted));
        Quelbar::SetWebServer(serverHost, serverPort);
        window.setCentralWidget(area);
        window.resize(1100, 600);
        window.show();
        Mrv::Application::instance().setMdiArea(area);
        Cli_Vop31600::boStCriado = false;
        Cli_Vop31600::CriaCtrlArqXMLNFe();
        form = Cli_Vop31600::frmCtrlArqXMLNFe;
    }
    ~ScreenHarness()
    {
        if (form && form->subWindow())
            delete form->subWindow();
        Cli_Vop31600::boStCriado = false;
        Mrv::Application::instance().setMdiArea(nullptr);
        Mrv::installPrompts(nullptr);
    }
    ScreenHarness(const ScreenHarness&) = delete;
    ScreenHarness& operator=(const ScreenHarness&) = delete;

    QMainWindow window;
    QMdiArea* area = new QMdiArea(&window);
    Mrv::ScriptedPrompts* prompts = nullptr;
    Cli_Vop31600::TfrmCtrlArqXMLNFe* form = nullptr;
};

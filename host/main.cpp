// vop-host: the MDI main window that loads the module, and the --script driver.
#include "host/host_options.h"
#include "host/http_settings.h"
#include "host/main_window.h"
#include "host/module_host.h"
#include "host/script_parser.h"
#include "host/screen_access.h"
#include "host/script_runner.h"
#include "mrv/application.h"
#include "platform/http/id_http.h"
#include "platform/common/thread.h"
#include "mrv/prompts.h"
#include "mrv/qt_translations.h"
#include "mrv/quelbar.h"
#include "mrv/scripted_prompts.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <iostream>
#include <memory>
#include <stdexcept>

namespace {

std::string defaultModulePath()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("Pkg_Vop31600.so")).toStdString();
}

std::string readScript(const std::string& path)
{
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path + ": " + file.errorString().toStdString());
    return file.readAll().toStdString();
}

// Script mode: the prompts are answered from the script, and the commands run once the event loop
// is alive.
int runScript(QApplication& app, Host::MainWindow& window, Host::ModuleHost& modules, const std::string& path)
{
    std::vector<Host::ScriptCommand> commands;
    try {
        commands = Host::parseScript(readScript(path));
    } catch (const std::exception& e) {
        std::cerr << "vop-host: script " << path << ": " << e.what() << std::endl;
        return 1;
    }
    auto owned = std::make_unique<Mrv::ScriptedPrompts>();
    Mrv::ScriptedPrompts& prompts = *owned;
    Mrv::installPrompts(std::move(owned));
    Host::ScriptRunner runner(window.mdiArea(), modules, prompts);
    int result = 1;
    QTimer::singleShot(0, &app, [&] {
        result = runner.run(commands);
        if (result != 0)
            std::cerr << "vop-host: script " << path << ": " << runner.error() << std::endl;
        QCoreApplication::exit(result);
    });
    QApplication::exec();
    return result;
}

} // namespace

static void waitForClosingScreens(QMdiArea* area)
{
    QElapsedTimer elapsed;
    elapsed.start();
    auto running = [area] {
        for (QWidget* screen : Host::allScreens(area))
            if (Host::transferRunning(screen))
                return true;
        return false;
    };
    while (running() && elapsed.elapsed() < 30000)
        QTest::qWait(20);
}

int main(int argc, char** argv)
{
    // Help is answered before the QApplication exists: making one aborts where there is no display.
    // Arguments that do not parse here may be Qt's own (-platform ...); they are read again below.
    try {
        if (Host::parseHostOptions(argc, argv).help) {
            std::cout << Host::hostUsage;
            return 0;
        }
    } catch (const std::invalid_argument&) {
    }
    QApplication app(argc, argv);
    // Qt's own texts (file dialogs, standard buttons, context menus) in the user's language.
    if (!Mrv::installQtTranslations())
        std::cerr << "vop-host: Qt's translations were not found (qt6-translations-l10n); Qt's own texts stay English"
                  << std::endl;
    Host::HostOptions options;
    try {
        options = Host::parseHostOptions(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "vop-host: " << e.what() << "\n" << Host::hostUsage;
        return 2;
    }
    if (options.help) {
        std::cout << Host::hostUsage;
        return 0;
    }
    if (!options.trustedCertificate.empty())
        Platform::TIdHTTP::SetDefaultTrustedCertificateFile(options.trustedCertificate);
    if (options.serverHost) {
        Quelbar::SetWebServer(*options.serverHost, options.serverPort);
        Host::loadHostHttpSettings(std::cerr);
    }

    int result = 0;
    {
        Host::ModuleHost modules(options.modulePath.empty() ? defaultModulePath() : options.modulePath);
        {
            Host::MainWindow window(modules);
            Mrv::Application::instance().setMdiArea(window.mdiArea());
            window.show();
            if (options.openAtStart && !options.scriptFile)
                QTimer::singleShot(0, &window, [&window] { window.openScreen(); });
            result = options.scriptFile ? runScript(app, window, modules, *options.scriptFile) : QApplication::exec();
            // Screens closed during a transfer wait for their worker to clean up (it removes its
            // partial file); give them that time before the process ends.
            waitForClosingScreens(window.mdiArea());
            // A worker still waiting for the GUI thread is released: nothing will run its call now.
            Platform::TThread::ShutdownSynchronize();
            // The screens go with the window, before their module's Finalize runs.
            Mrv::Application::instance().setMdiArea(nullptr);
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    Mrv::installPrompts(nullptr);
    return result;
}

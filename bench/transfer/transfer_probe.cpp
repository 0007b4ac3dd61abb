// One download or upload through the real screen, headless, timed from inside the host process:
//   bench_transfer_probe --server HOST:PORT download REMOTE_NAME LOCAL_PATH
//   bench_transfer_probe --server HOST:PORT upload PATH...     (a folder stands for its files, sorted)
//   bench_transfer_probe --server HOST:PORT batch LOCAL_FOLDER [CHOICE]  (every listed row, directories
//       with all below, one job; CHOICE answers the question for existing files, 1-based)
// The screen opens on its home folder; the row is selected and the button clicked as a user does.
// Prints one JSON object: the time from the click until the worker has ended (its reloads
// included), the bytes moved, and what the GUI thread went through meanwhile.
#include "bench/transfer/gui_probe.h"
#include "bench/transfer/screen_session.h"

#include "screen/ctrl_arq_xml_nfe.h"

#include "mrv/scripted_prompts.h"
#include "platform/widgets/progress_bar.h"
#include "platform/widgets/status_bar.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

struct Request {
    std::string server;
    std::string job;
    std::vector<std::string> args;
    int limitSeconds = 600;
};

Request parseArgs(int argc, char** argv)
{
    Request request;
    int i = 1;
    for (; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--server" && i + 1 < argc)
            request.server = argv[++i];
        else if (arg == "--limit" && i + 1 < argc)
            request.limitSeconds = std::stoi(argv[++i]);
        else
            break;
    }
    if (i < argc)
        request.job = argv[i++];
    for (; i < argc; ++i)
        request.args.emplace_back(argv[i]);
    const bool valid = !request.server.empty()
        && ((request.job == "download" && request.args.size() == 2) || (request.job == "upload" && !request.args.empty())
            || (request.job == "batch" && (request.args.size() == 1 || request.args.size() == 2)));
    if (!valid)
        throw std::runtime_error("usage: bench_transfer_probe --server HOST:PORT [--limit S] "
                                 "download REMOTE LOCAL | upload PATH... | batch LOCAL_FOLDER [CHOICE]");
    return request;
}

std::vector<std::string> expandFiles(const std::vector<std::string>& paths, bool wholeTree = false)
{
    std::vector<std::string> files;
    for (const auto& path : paths) {
        if (!fs::is_directory(path)) {
            files.push_back(fs::absolute(path).string());
            continue;
        }
        std::vector<std::string> inside;
        auto collect = [&inside](auto entries) {
            for (const auto& entry : entries)
                if (entry.is_regular_file())
                    inside.push_back(fs::absolute(entry.path()).string());
        };
        if (wholeTree)
            collect(fs::recursive_directory_iterator(path));
        else
            collect(fs::directory_iterator(path));
        std::sort(inside.begin(), inside.end());
        files.insert(files.end(), inside.begin(), inside.end());
    }
    return files;
}

std::string jsonText(const std::string& text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\')
            out.append(1, '\\').append(1, static_cast<char>(c));
        else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else
            out += static_cast<char>(c);
    }
    return out + "\"";
}

// Runs the event loop until the worker has ended, looking each time the loop is about to sleep:
// the end is seen on the pass that handles the worker's last notification, and the wait itself
// takes no timer wake-ups from the cores the transfer runs on.
bool waitUntilIdle(Cli_Vop31600::TfrmCtrlArqXMLNFe& form, int limitSeconds)
{
    QEventLoop loop;
    auto check = [&] {
        if (!form.transferRunning())
            loop.quit();
    };
    const auto watch = QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                                        &loop, check);
    QTimer limit;
    limit.setSingleShot(true);
    bool timedOut = false;
    QObject::connect(&limit, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        loop.quit();
    });
    limit.start(limitSeconds * 1000);
    QTimer::singleShot(0, &loop, check);
    loop.exec();
    QObject::disconnect(watch);
    return !timedOut;
}

int run(const Request& request)
{
    const auto [host, port] = BenchSupport::splitHostPort(request.server);
    BenchSupport::ScreenSession session(host, port);
    auto& form = session.open();

    std::int64_t bytes = 0;
    std::size_t fileCount = 1;
    QAbstractButton* button = nullptr;
    QAction* command = nullptr;
    if (request.job == "batch") {
        session.prompts().queueFolder(request.args[0]);
        if (request.args.size() == 2)
            session.prompts().queueChoice(std::stoi(request.args[1]));
        command = form.actBaixarListados;
    } else if (request.job == "download") {
        BenchSupport::selectRowNamed(form, request.args[0]);
        fs::remove(request.args[1]);
        session.prompts().queueSave(request.args[1]);
        button = form.sbtConfirma;
    } else {
        const auto files = expandFiles(request.args);
        for (const auto& file : files)
            bytes += static_cast<std::int64_t>(fs::file_size(file));
        fileCount = files.size();
        session.prompts().queueOpen(files);
        button = form.btnUpload;
    }

    BenchSupport::GuiProbe probe(form.ProgressBar);
    QElapsedTimer clock;
    probe.start();
    clock.start();
    if (command)
        command->trigger();
    else
        QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, button->rect().center());
    const bool finished = waitUntilIdle(form, request.limitSeconds);
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    const auto gui = probe.stop();

    if (request.job == "download" && fs::exists(request.args[1]))
        bytes = static_cast<std::int64_t>(fs::file_size(request.args[1]));
    if (request.job == "batch") {
        fileCount = 0;
        for (const auto& file : expandFiles({request.args[0]}, true)) {
            bytes += static_cast<std::int64_t>(fs::file_size(file));
            ++fileCount;
        }
    }
    const std::string status = form.StatusBar->PanelText(1).toStdString();
    auto problems = session.problems();
    if (!finished)
        problems.push_back("the transfer still ran after " + std::to_string(request.limitSeconds) + " s");
    if (status.rfind("Transferência Completa", 0) != 0)
        problems.push_back("status: " + status);

    std::ostringstream json;
    json << "{\"job\":" << jsonText(request.job) << ",\"ok\":" << (problems.empty() ? "true" : "false")
         << ",\"seconds\":" << seconds << ",\"bytes\":" << bytes << ",\"files\":" << fileCount
         << ",\"max_gui_gap_ms\":" << gui.maxTickGapMs << ",\"gui_ticks\":" << gui.ticks << ",\"gui_cpu_ms\":" << gui.cpuMs
         << ",\"bar_updates\":" << gui.barUpdates << ",\"bar_updates_per_s\":" << gui.barUpdatesPerSecond()
         << ",\"bar_window_s\":" << gui.barWindowSeconds << ",\"max_bar_gap_ms\":" << gui.maxBarGapMs << ",\"status\":" << jsonText(status) << ",\"problems\":[";
    for (std::size_t i = 0; i < problems.size(); ++i)
        json << (i ? "," : "") << jsonText(problems[i]);
    json << "]}";
    std::cout << json.str() << std::endl;
    if (!finished)
        session.prompts().queueConfirm(true);  // closing stops the worker that still runs
    session.close();
    return problems.empty() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    try {
        return run(parseArgs(argc, argv));
    } catch (const std::exception& error) {
        std::cerr << "bench_transfer_probe: " << error.what() << std::endl;
        return 2;
    }
}

// The longest stand-still of the event loop while the real screen opens, headless:
//   bench_wait_gaps --server HOST:PORT [--hold MS] [--rows N]
// A 5 ms timer runs from before the opening; every pause between its ticks is a time the window
// could not paint. With --hold the screen is closed after that many ms (a server that never answers:
// the close ends the wait); with --rows the opening must list that many rows. Prints one JSON object.
#include "bench/transfer/screen_session.h"

#include "screen/ctrl_arq_xml_nfe.h"
#include "screen/screen_globals.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QMdiSubWindow>
#include <QTableView>
#include <QTimer>

#include <algorithm>
#include <iostream>
#include <stdexcept>
#include <string>

namespace {

struct Request {
    std::string server;
    int holdMs = -1;
    int rows = -1;
};

Request parseArgs(int argc, char** argv)
{
    Request request;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--server" && i + 1 < argc)
            request.server = argv[++i];
        else if (arg == "--hold" && i + 1 < argc)
            request.holdMs = std::stoi(argv[++i]);
        else if (arg == "--rows" && i + 1 < argc)
            request.rows = std::stoi(argv[++i]);
        else
            request.server.clear(), i = argc;
    }
    if (request.server.empty())
        throw std::runtime_error("usage: bench_wait_gaps --server HOST:PORT [--hold MS] [--rows N]");
    return request;
}

int run(const Request& request)
{
    const auto [host, port] = BenchSupport::splitHostPort(request.server);
    BenchSupport::ScreenSession session(host, port);
    QApplication::processEvents();  // the first paint of the window is not the screen's
    QElapsedTimer clock, sinceTick;
    qint64 longest = 0;
    int ticks = 0;
    QTimer meter;
    meter.setInterval(5);
    QObject::connect(&meter, &QTimer::timeout, [&] {
        if (ticks++ > 0)
            longest = std::max(longest, sinceTick.restart());
        else
            sinceTick.start();
    });
    meter.start();
    if (request.holdMs >= 0) {
        QTimer::singleShot(request.holdMs, [] {
            if (Cli_Vop31600::frmCtrlArqXMLNFe && Cli_Vop31600::frmCtrlArqXMLNFe->subWindow())
                Cli_Vop31600::frmCtrlArqXMLNFe->subWindow()->close();
        });
    }
    clock.start();
    Cli_Vop31600::CriaCtrlArqXMLNFe();
    const qint64 openMs = clock.elapsed();
    int shown = -1;
    if (auto* form = Cli_Vop31600::frmCtrlArqXMLNFe)
        shown = form->dbgArquivos->model()->rowCount();
    // Whatever the opening left to the event loop (painting the grid, a close carried out) counts too.
    const QElapsedTimer settle = [] { QElapsedTimer t; t.start(); return t; }();
    while (settle.elapsed() < 100)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    meter.stop();
    if (request.rows >= 0 && shown != request.rows)
        throw std::runtime_error("the grid shows " + std::to_string(shown) + " rows, expected "
                                 + std::to_string(request.rows));
    std::cout << "{\"open_ms\":" << openMs << ",\"longest_gap_ms\":" << longest << ",\"ticks\":" << ticks
              << ",\"rows\":" << shown << "}" << std::endl;
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    try {
        return run(parseArgs(argc, argv));
    } catch (const std::exception& error) {
        std::cerr << "bench_wait_gaps: " << error.what() << std::endl;
        return 1;
    }
}

// The longest stand-still of the event loop while the real screen opens, headless:
//   bench_wait_gaps --server HOST:PORT [--hold MS] [--rows N]
// A 5 ms timer runs from before the opening; every pause between its ticks is a time the window
// could not paint. With --hold the screen is closed after that many ms (a server that never answers:
// the close ends the wait); with --rows the opening must list that many rows. Prints one JSON object.
#include "bench/latency/probe.h"
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

int run(const BenchSupport::ProbeOptions& options, const BenchSupport::Probe& self)
{
    const std::string server = options.text("--server");
    const int holdMs = options.number("--hold", -1);
    const int rows = options.number("--rows", -1);
    if (server.empty())
        throw std::runtime_error(self.usage);
    const auto [host, port] = BenchSupport::splitHostPort(server);
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
    if (holdMs >= 0) {
        QTimer::singleShot(holdMs, [] {
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
    if (rows >= 0 && shown != rows)
        throw std::runtime_error("the grid shows " + std::to_string(shown) + " rows, expected "
                                 + std::to_string(rows));
    std::cout << "{\"open_ms\":" << openMs << ",\"longest_gap_ms\":" << longest << ",\"ticks\":" << ticks
              << ",\"rows\":" << shown << "}" << std::endl;
    return 0;
}

} // namespace

const BenchSupport::Probe BenchSupport::probe = {"bench_wait_gaps",
    "usage: bench_wait_gaps --server HOST:PORT [--hold MS] [--rows N]", {"--server", "--hold", "--rows"}, run};

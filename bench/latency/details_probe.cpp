// The NF-e details window following the grid, headless:
//   bench_details_moves --server HOST:PORT --moves N
// Opens the screen on a directory of XML invoices (each named by its 44-digit key), opens the details
// window and moves the current row down N times by the arrow key. After each move it waits for the
// window to show that row's key. Prints one JSON object: the longest event-loop gap over the whole run
// and the time from each key press to its details, in milliseconds.
#include "bench/latency/probe.h"
#include "bench/transfer/gui_probe.h"
#include "bench/transfer/screen_session.h"

#include "screen/ctrl_arq_xml_nfe.h"

#include "platform/widgets/progress_bar.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QTableView>
#include <QTest>

#include <algorithm>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// The 44 digits the window shows for the current row, or "" while it shows another row.
QString shownKey(const Cli_Vop31600::TfrmCtrlArqXMLNFe& form)
{
    QString key = form.scripting.detailsState().toMap().value(QStringLiteral("chave")).toString();
    key.remove(QLatin1Char(' '));
    return key;
}

QString currentKey(const Cli_Vop31600::TfrmCtrlArqXMLNFe& form)
{
    return QString::fromStdString(form.cdsArquivosDSNOME->AsString()).left(44);
}

// Serves events until the window shows the current row; the time it took in ms, or -1 past 5 s.
double awaitDetails(const Cli_Vop31600::TfrmCtrlArqXMLNFe& form)
{
    QElapsedTimer clock;
    clock.start();
    while (shownKey(form) != currentKey(form)) {
        if (clock.elapsed() > 5000)
            return -1;
        QApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

int run(const BenchSupport::ProbeOptions& options, const BenchSupport::Probe& self)
{
    const std::string server = options.text("--server");
    const int moves = options.number("--moves", 100);
    if (server.empty() || moves < 1)
        throw std::runtime_error(self.usage);
    const auto [host, port] = BenchSupport::splitHostPort(server);
    BenchSupport::ScreenSession session(host, port);
    auto& form = session.open();
    form.dbgArquivos->setFocus();
    form.dbgArquivos->setCurrentIndex(form.dbgArquivos->model()->index(0, 0));
    auto* details = form.findChild<QAction*>(QStringLiteral("actDetalhes"));
    if (!details)
        throw std::runtime_error("the screen has no details action");
    details->trigger();
    if (awaitDetails(form) < 0)
        throw std::runtime_error("the window never showed the first row");

    BenchSupport::GuiProbe probe(form.ProgressBar);
    probe.start();
    std::vector<double> latencies;
    for (int move = 0; move < moves; ++move) {
        QTest::keyClick(form.dbgArquivos, Qt::Key_Down);
        const double ms = awaitDetails(form);
        if (ms < 0)
            throw std::runtime_error("no details for move " + std::to_string(move + 1));
        latencies.push_back(ms);
    }
    const auto gui = probe.stop();
    std::vector<double> sorted = latencies;
    std::sort(sorted.begin(), sorted.end());
    std::ostringstream json;
    json << "{\"moves\":" << moves << ",\"max_gui_gap_ms\":" << gui.maxTickGapMs
         << ",\"median_details_ms\":" << sorted[sorted.size() / 2] << ",\"max_details_ms\":" << sorted.back()
         << ",\"problems\":" << session.problems().size() << "}";
    std::cout << json.str() << std::endl;
    session.close();
    return session.problems().empty() ? 0 : 1;
}

} // namespace

const BenchSupport::Probe BenchSupport::probe = {"bench_details_moves",
    "usage: bench_details_moves --server HOST:PORT --moves N", {"--server", "--moves"}, run};

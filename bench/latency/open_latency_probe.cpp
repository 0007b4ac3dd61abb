// Open-to-listed latency of the real screen, headless:
//   bench_open_latency --server HOST:PORT --rows N [--rounds R]
// Each round opens the screen as the host's menu does and stops the clock once the home listing's
// N rows are in the grid and painted; then the screen is closed for the next round. Prints one JSON
// object with every round in milliseconds (the first one pays for cold connections and caches).
#include "bench/latency/probe.h"
#include "bench/transfer/screen_session.h"

#include "screen/ctrl_arq_xml_nfe.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QTableView>

#include <algorithm>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

int run(const BenchSupport::ProbeOptions& options, const BenchSupport::Probe& self)
{
    const std::string server = options.text("--server");
    const int rows = options.number("--rows", -1);
    const int rounds = options.number("--rounds", 10);
    if (server.empty() || rows < 0 || rounds < 1)
        throw std::runtime_error(self.usage);
    const auto [host, port] = BenchSupport::splitHostPort(server);
    BenchSupport::ScreenSession session(host, port);
    std::vector<double> samples;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer clock;
        clock.start();
        auto& form = session.open();
        // Opening lists synchronously; one pass of the event loop lays out and paints the grid.
        QApplication::processEvents();
        const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        const int shown = form.dbgArquivos->model()->rowCount();
        if (shown != rows)
            throw std::runtime_error("the grid shows " + std::to_string(shown) + " rows, expected "
                                     + std::to_string(rows));
        samples.push_back(ms);
        session.close();
    }
    std::vector<double> warm(samples.begin() + (samples.size() > 1 ? 1 : 0), samples.end());
    std::ostringstream json;
    json << "{\"rows\":" << rows << ",\"first_ms\":" << samples.front() << ",\"median_ms\":" << median(warm)
         << ",\"max_ms\":" << *std::max_element(warm.begin(), warm.end()) << ",\"samples_ms\":[";
    for (std::size_t i = 0; i < samples.size(); ++i)
        json << (i ? "," : "") << samples[i];
    json << "]}";
    std::cout << json.str() << std::endl;
    return 0;
}

} // namespace

const BenchSupport::Probe BenchSupport::probe = {"bench_open_latency",
    "usage: bench_open_latency --server HOST:PORT --rows N [--rounds R]", {"--server", "--rows", "--rounds"}, run};

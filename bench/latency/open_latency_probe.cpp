// Open-to-listed latency of the real screen, headless:
//   bench_open_latency --server HOST:PORT --rows N [--rounds R]
// Each round opens the screen as the host's menu does and stops the clock once the home listing's
// N rows are in the grid and painted; then the screen is closed for the next round. Prints one JSON
// object with every round in milliseconds (the first one pays for cold connections and caches).
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

struct Request {
    std::string server;
    int rows = -1;
    int rounds = 10;
};

Request parseArgs(int argc, char** argv)
{
    Request request;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--server" && i + 1 < argc)
            request.server = argv[++i];
        else if (arg == "--rows" && i + 1 < argc)
            request.rows = std::stoi(argv[++i]);
        else if (arg == "--rounds" && i + 1 < argc)
            request.rounds = std::stoi(argv[++i]);
        else
            throw std::runtime_error("usage: bench_open_latency --server HOST:PORT --rows N [--rounds R]");
    }
    if (request.server.empty() || request.rows < 0 || request.rounds < 1)
        throw std::runtime_error("usage: bench_open_latency --server HOST:PORT --rows N [--rounds R]");
    return request;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

int run(const Request& request)
{
    const auto [host, port] = BenchSupport::splitHostPort(request.server);
    BenchSupport::ScreenSession session(host, port);
    std::vector<double> samples;
    for (int round = 0; round < request.rounds; ++round) {
        QElapsedTimer clock;
        clock.start();
        auto& form = session.open();
        // Opening lists synchronously; one pass of the event loop lays out and paints the grid.
        QApplication::processEvents();
        const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        const int shown = form.dbgArquivos->model()->rowCount();
        if (shown != request.rows)
            throw std::runtime_error("the grid shows " + std::to_string(shown) + " rows, expected "
                                     + std::to_string(request.rows));
        samples.push_back(ms);
        session.close();
    }
    std::vector<double> warm(samples.begin() + (samples.size() > 1 ? 1 : 0), samples.end());
    std::ostringstream json;
    json << "{\"rows\":" << request.rows << ",\"first_ms\":" << samples.front() << ",\"median_ms\":" << median(warm)
         << ",\"max_ms\":" << *std::max_element(warm.begin(), warm.end()) << ",\"samples_ms\":[";
    for (std::size_t i = 0; i < samples.size(); ++i)
        json << (i ? "," : "") << samples[i];
    json << "]}";
    std::cout << json.str() << std::endl;
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    try {
        return run(parseArgs(argc, argv));
    } catch (const std::exception& error) {
        std::cerr << "bench_open_latency: " << error.what() << std::endl;
        return 1;
    }
}

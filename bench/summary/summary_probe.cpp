// The directory's summary read by the real screen, headless:
//   bench_summary --server HOST:PORT
// Opens the screen on a directory of XML invoices, opens "Resumo do diretório" and serves events until
// the reading has ended, then opens it again (every file now in the cache). Prints one JSON object:
// the time of each reading, the longest event-loop gap during the first, and what the summary counted.
#include "bench/transfer/gui_probe.h"
#include "bench/transfer/screen_session.h"

#include "screen/ctrl_arq_xml_nfe.h"

#include "platform/widgets/progress_bar.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>

#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>

namespace {

const char* const kUsage = "usage: bench_summary --server HOST:PORT";

// Opens the summary and serves events until its reading ends; the seconds it took.
double readSummary(Cli_Vop31600::TfrmCtrlArqXMLNFe& form, QAction& summary)
{
    QElapsedTimer clock;
    clock.start();
    summary.trigger();
    while (form.scripting.summaryReading()) {
        if (clock.elapsed() > 120000)
            throw std::runtime_error("the summary still reads after 120 s");
        QApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return static_cast<double>(clock.nsecsElapsed()) / 1e9;
}

int run(const std::string& server)
{
    const auto [host, port] = BenchSupport::splitHostPort(server);
    BenchSupport::ScreenSession session(host, port);
    auto& form = session.open();
    auto* summary = form.findChild<QAction*>(QStringLiteral("actResumo"));
    if (!summary)
        throw std::runtime_error("the screen has no summary action");
    BenchSupport::GuiProbe probe(form.ProgressBar);
    probe.start();
    const double first = readSummary(form, *summary);
    const auto gui = probe.stop();
    const QVariantMap counted = form.scripting.summaryState().toMap();
    const double second = readSummary(form, *summary);
    std::ostringstream json;
    json << "{\"files\":" << counted.value("arquivos").toInt() << ",\"notas\":" << counted.value("notas").toInt()
         << ",\"autorizadas\":" << counted.value("autorizadas").toInt()
         << ",\"ilegiveis\":" << counted.value("ilegiveis").toInt() << ",\"first_s\":" << first
         << ",\"second_s\":" << second << ",\"max_gui_gap_ms\":" << gui.maxTickGapMs
         << ",\"error\":" << (counted.value("erro").isNull() ? "false" : "true")
         << ",\"problems\":" << session.problems().size() << "}";
    std::cout << json.str() << std::endl;
    session.close();
    return session.problems().empty() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    try {
        std::string server;
        for (int i = 1; i < argc; ++i) {
            const std::string arg = argv[i];
            if (arg == "--server" && i + 1 < argc)
                server = argv[++i];
            else
                throw std::runtime_error(kUsage);
        }
        if (server.empty())
            throw std::runtime_error(kUsage);
        return run(server);
    } catch (const std::exception& error) {
        std::cerr << "bench_summary: " << error.what() << std::endl;
        return 1;
    }
}

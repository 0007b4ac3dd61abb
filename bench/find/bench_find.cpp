// A keystroke in the find bar to the repainted grid, over 100,000 names: the filter, the model's
// reset, the cursor's follow-up and a synchronous paint of the visible rows.
// Run: QT_QPA_PLATFORM=offscreen bench_find
#include "platform/dataset/client_dataset.h"
#include "platform/dataset/dataset_model.h"

#include <QApplication>
#include <QTableView>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

void fill(Platform::TClientDataSet& table, std::size_t rows)
{
    table.AddField("DSNOME", Platform::FieldType::String, 255);
    table.AddField("FLTAMANHO", Platform::FieldType::Float);
    table.CreateDataSet();
    table.SetFilterField("DSNOME");
    table.AddIndex("idxDSNOME", "DSNOME", false);
    table.SetIndexName("idxDSNOME");
    std::mt19937_64 random(7);
    char name[96];
    for (std::size_t i = 0; i < rows; ++i) {
        std::snprintf(name, sizeof name, "3524%02u12345678000190550010%09llu1%08llu%u-nfe.xml",
                      static_cast<unsigned>(1 + random() % 12), static_cast<unsigned long long>(random() % 1000000000ULL),
                      static_cast<unsigned long long>(random() % 100000000ULL), static_cast<unsigned>(random() % 10));
        table.Append();
        table.Fields(0).SetAsString(name);
        table.Fields(1).SetAsFloat(static_cast<double>(2000 + random() % 60000));
        table.Post();
    }
    table.First();
}

// Typing a key piece one digit at a time, then erasing it again.
void KeystrokeToGrid(benchmark::State& state)
{
    Platform::TClientDataSet table;
    fill(table, static_cast<std::size_t>(state.range(0)));
    QTableView view;
    view.resize(900, 400);
    Platform::DataSetGridLink link(&view, table, {"DSNOME", "FLTAMANHO"});
    view.show();
    const std::string key = "550010000123";
    std::vector<std::string> steps;
    for (std::size_t n = 1; n <= key.size(); ++n)
        steps.push_back(key.substr(0, n));
    for (std::size_t n = key.size(); n-- > 0;)
        steps.push_back(key.substr(0, n));
    std::size_t step = 0;
    for (auto _ : state) {
        table.SetFilterText(steps[step++ % steps.size()]);
        link.sync();
        view.viewport()->repaint();
        benchmark::DoNotOptimize(table.RecordCount());
    }
}
BENCHMARK(KeystrokeToGrid)->Arg(100'000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// Parse+load of generated MS-DOS listings, the column-title sort toggle, and memory per row.
// Run: bench_listing [--benchmark_filter=...]; the counters give the figures per row.
#include "screen/listing_parser.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <malloc.h>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// Names like real NF-e files: 44 digits (state, year-month, issuer, model, series, number, ...)
// then "-nfe.xml", a few issuers and months so that names share long prefixes as they do.
std::vector<std::string> makeListing(std::size_t lines)
{
    std::mt19937_64 random(42);
    const char* issuers[] = {"12345678000190", "98765432000110", "11222333000181", "44555666000172"};
    std::vector<std::string> listing;
    listing.reserve(lines);
    char line[160];
    for (std::size_t i = 0; i < lines; ++i) {
        const unsigned month = 1 + static_cast<unsigned>(random() % 12);
        const unsigned day = 1 + static_cast<unsigned>(random() % 28);
        const unsigned hour = 1 + static_cast<unsigned>(random() % 12);
        const unsigned minute = static_cast<unsigned>(random() % 60);
        if (i % 1000 == 999) {
            std::snprintf(line, sizeof line, "%02u-%02u-24  %02u:%02u%s       <DIR>          DIR%06zu", month, day,
                          hour, minute, random() % 2 ? "AM" : "PM", i);
        } else {
            const unsigned long long number = random() % 1000000000ULL;
            const unsigned long long code = random() % 100000000ULL;
            const unsigned long long size = 2000 + random() % 60000;
            std::snprintf(line, sizeof line, "%02u-%02u-24  %02u:%02u%s %20llu 35%02u%02u%s55001%09llu1%08llu%u-nfe.xml",
                          month, day, hour, minute, random() % 2 ? "AM" : "PM", size, 24u, month,
                          issuers[random() % 4], number, code, static_cast<unsigned>(random() % 10));
        }
        listing.emplace_back(line);
    }
    return listing;
}

const std::vector<std::string>& listingOf(std::size_t lines)
{
    static std::vector<std::string> cached;
    if (cached.size() != lines)
        cached = makeListing(lines);
    return cached;
}

// Heap bytes in use (small blocks and mapped large ones): unlike the resident size it does not
// depend on what earlier benchmarks left in the allocator's free lists.
double heapBytes()
{
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd);
}

long residentBytes()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

void loadOnce(Platform::TClientDataSet& cds, const std::vector<std::string>& lines)
{
    Cli_Vop31600::CarregaGrid(cds, lines);
    cds.First(); // the load ends on the first row, which needs the order
    benchmark::DoNotOptimize(cds.RecNo());
}

// The screen reuses its table from one listing to the next: one untimed load first, so the
// storage is warm as it is on every reload.
void ParseAndLoad(benchmark::State& state)
{
    const auto& lines = listingOf(static_cast<std::size_t>(state.range(0)));
    Platform::TClientDataSet cds;
    Cli_Vop31600::defineFileTableFields(cds);
    loadOnce(cds, lines);
    for (auto _ : state)
        loadOnce(cds, lines);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The first listing into a new table, allocation included.
void ParseAndLoadFirst(benchmark::State& state)
{
    const auto& lines = listingOf(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        Platform::TClientDataSet cds;
        Cli_Vop31600::defineFileTableFields(cds);
        loadOnce(cds, lines);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void SortToggle(benchmark::State& state)
{
    const auto& lines = listingOf(static_cast<std::size_t>(state.range(0)));
    const char* fields[] = {"DSNOME", "FLTAMANHO", "DSDTHRMODIFICACAO", "DSTIPO"};
    const char* field = fields[state.range(1)];
    Platform::TClientDataSet cds;
    Cli_Vop31600::defineFileTableFields(cds);
    Cli_Vop31600::CarregaGrid(cds, lines);
    cds.First();
    for (auto _ : state) {
        Cli_Vop31600::toggleSortIndex(cds, field);
        cds.First(); // the grid shows the first rows in the new order
        benchmark::DoNotOptimize(cds.RecNo());
    }
    state.SetLabel(field);
}

void MemoryPerRow(benchmark::State& state)
{
    const auto rows = static_cast<std::size_t>(state.range(0));
    const auto& lines = listingOf(rows);
    double residentPerRow = 0;
    double heapPerRow = 0;
    for (auto _ : state) {
        malloc_trim(0);
        const long residentBefore = residentBytes();
        const double heapBefore = heapBytes();
        Platform::TClientDataSet cds;
        Cli_Vop31600::defineFileTableFields(cds);
        Cli_Vop31600::CarregaGrid(cds, lines);
        cds.First();
        residentPerRow = static_cast<double>(residentBytes() - residentBefore) / static_cast<double>(rows);
        heapPerRow = (heapBytes() - heapBefore) / static_cast<double>(rows);
    }
    // Resident growth is exact only in a fresh process: run this benchmark alone for it.
    state.counters["resident_bytes_per_row"] = residentPerRow;
    state.counters["heap_bytes_per_row"] = heapPerRow;
}

} // namespace

BENCHMARK(ParseAndLoad)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(ParseAndLoadFirst)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(SortToggle)
    ->ArgsProduct({{1000, 100000, 1000000}, {0, 1, 2, 3}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(MemoryPerRow)->Arg(100000)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

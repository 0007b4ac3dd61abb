// The signature check of one signed invoice, alone, and the facts the summary makes of a file (the
// parse, the check and the fields together):
//   bench_signature [benchmark flags] INVOICE_FILE [ROOTS_FOLDER]
// With a roots folder, the chain is verified against it as well, as on a machine with roots installed.
#include "nfe/directory_summary.h"
#include "nfe/nfe_parser.h"
#include "nfe/signature_check.h"

#include <QFile>

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

QByteArray invoice;
std::shared_ptr<const Nfe::TrustRoots> roots;

void SignatureCheck(benchmark::State& state)
{
    const Nfe::Document document = Nfe::parseDocument(invoice);
    for (auto _ : state) {
        const std::optional<Nfe::SignatureCheck> check = Nfe::checkSignature(invoice, document, *roots);
        if (!check || !check->valid) {
            state.SkipWithError("the invoice's signature does not hold");
            break;
        }
        benchmark::DoNotOptimize(check->digestValue.size());
    }
    state.counters["bytes"] = static_cast<double>(invoice.size());
}
BENCHMARK(SignatureCheck)->Unit(benchmark::kMicrosecond);

void FileFacts(benchmark::State& state)
{
    for (auto _ : state) {
        const Nfe::FileFacts facts = Nfe::readFacts(QStringLiteral("nota.xml"), invoice, *roots);
        benchmark::DoNotOptimize(facts.cents);
    }
}
BENCHMARK(FileFacts)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_signature [benchmark flags] INVOICE_FILE [ROOTS_FOLDER]\n");
        return 2;
    }
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "bench_signature: cannot read %s\n", argv[1]);
        return 1;
    }
    invoice = file.readAll();
    roots = Nfe::TrustRoots::fromFolders(argc > 2 ? QStringList{QString::fromLocal8Bit(argv[2])} : QStringList{});
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

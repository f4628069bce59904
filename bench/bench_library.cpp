#include "BenchText.h"
#include "library/ScriptDiskIO.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

// A library of `count` scripts of 500 words each, written once per run.
struct Library {
    QTemporaryDir dir;
    QString root = dir.filePath("library");
    ScriptManifest manifest;

    explicit Library(int count) {
        std::vector<Script> scripts;
        const QString body = benchScript(500);
        for (int i = 0; i < count; ++i) {
            Script s{QUuid::createUuid(),
                     QStringLiteral("Script %1").arg(i),
                     body,
                     1767621792.0 + i,
                     1767621792.0 + i,
                     i % 7 == 0,
                     std::nullopt};
            ScriptDiskIO::writeBody(s.body, s.id, root, nullptr);
            scripts.push_back(std::move(s));
        }
        manifest = ScriptManifest(scripts, std::nullopt);
        ScriptDiskIO::writeManifest(manifest, root, nullptr);
    }
};

void BM_LoadLibrary(benchmark::State &state) {
    const Library library(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const LoadOutcome outcome = ScriptDiskIO::load(library.root, 1767621792);
        benchmark::DoNotOptimize(outcome.bodies.size());
    }
    state.SetLabel(std::to_string(state.range(0)) + " scripts of 500 words");
}

void BM_WriteIndex(benchmark::State &state) {
    const Library library(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        QString error;
        if (!ScriptDiskIO::writeManifest(library.manifest, library.root, &error))
            state.SkipWithError(qPrintable(error));
    }
    state.SetLabel(std::to_string(state.range(0)) + " entries, written and synced to disk");
}

} // namespace

BENCHMARK(BM_LoadLibrary)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteIndex)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

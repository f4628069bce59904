#include "BenchText.h"
#include "text/ScriptLayout.h"
#include "text/ScriptWords.h"

#include <benchmark/benchmark.h>

namespace {

void BM_ScriptWords(benchmark::State &state) {
    const QString text = benchScript(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        ScriptWords words(text);
        benchmark::DoNotOptimize(words.words.data());
    }
    state.SetLabel(std::to_string(state.range(0)) + " words");
}

void BM_ScriptLayout(benchmark::State &state) {
    const QString text = benchScript(static_cast<int>(state.range(0)));
    const ScriptWords words(text);
    for (auto _ : state) {
        ScriptLayout layout({text, 364, 24, 5.0 / 3.0}, words);
        benchmark::DoNotOptimize(layout.height());
    }
    state.SetLabel(std::to_string(state.range(0)) + " words");
}

void BM_PositionOfCharacter(benchmark::State &state) {
    const QString text = benchScript(10000);
    const ScriptLayout layout({text, 364, 24, 5.0 / 3.0}, ScriptWords(text));
    const double n = text.size();
    double p = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(layout.position(p));
        p += 7.37;
        if (p >= n)
            p -= n;
    }
}

} // namespace

BENCHMARK(BM_ScriptWords)->Arg(10000)->Unit(benchmark::kMillisecond);
// Long scripts are laid out on every core, so wall time is the figure that counts.
BENCHMARK(BM_ScriptLayout)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PositionOfCharacter);

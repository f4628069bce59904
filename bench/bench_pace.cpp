#include "BenchText.h"
#include "pace/EspeakRenderer.h"
#include "pace/PaceSchedule.h"

#include <benchmark/benchmark.h>

namespace {

void BM_MeasureRhythm(benchmark::State &state) {
    const QString text = benchScript(1000);
    for (auto _ : state)
        benchmark::DoNotOptimize(EspeakRenderer::measure(text, "gmw/en-US"));
    state.SetLabel("1,000 words with espeak-ng");
}

void BM_BuildSchedule(benchmark::State &state) {
    const ScriptWords words(benchScript(10000));
    std::vector<WordRhythm> rhythm(words.words.size(), {0.3, 0.05});
    for (auto _ : state)
        benchmark::DoNotOptimize(PaceSchedule::measured(words, rhythm, PauseStyle::natural, 4000));
    state.SetLabel("10,000 words");
}

void BM_ScheduleQuery(benchmark::State &state) {
    const ScriptWords words(benchScript(10000));
    const PaceSchedule s = PaceSchedule::estimate(words, PauseStyle::natural, 4000);
    double t = 0;
    for (auto _ : state) {
        // What the guide does each frame: where the light is and whether it rests.
        benchmark::DoNotOptimize(s.slotIndex(t));
        benchmark::DoNotOptimize(s.offset(t));
        benchmark::DoNotOptimize(s.isPausing(t));
        t += 1.0 / 60;
        if (t > s.total)
            t = 0;
    }
}

} // namespace

BENCHMARK(BM_MeasureRhythm)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildSchedule)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScheduleQuery);

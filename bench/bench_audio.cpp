#include "voice/AudioSource.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

// A minute of interleaved audio at `rate`, resampled to 16 kHz mono in the
// 0.1 s pieces a device or a replay delivers.
void resampleAMinute(benchmark::State &state) {
    const int rate = static_cast<int>(state.range(0));
    const int channels = 2;
    std::vector<float> in(static_cast<std::size_t>(rate) * 60 * channels);
    for (std::size_t i = 0; i < in.size(); ++i)
        in[i] = static_cast<float>(0.3 * std::sin(static_cast<double>(i) * 0.01));
    const std::size_t piece = static_cast<std::size_t>(rate) / 10;
    for (auto _ : state) {
        AudioResampler resampler(rate, channels);
        std::vector<float> out;
        out.reserve(16000 * 61);
        for (std::size_t at = 0; at < in.size() / channels; at += piece)
            resampler.push(in.data() + at * channels,
                           std::min(piece, in.size() / channels - at), out);
        benchmark::DoNotOptimize(out.data());
    }
    // 600 ms for the minute would be 1 % of real time.
    state.SetLabel("a minute of stereo at " + std::to_string(rate) + " Hz");
}

} // namespace

BENCHMARK(resampleAMinute)->Arg(8000)->Arg(44100)->Arg(48000)->Unit(benchmark::kMillisecond);

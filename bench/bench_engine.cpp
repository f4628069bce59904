#include "playback/ScrollEngine.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

class ManualClock : public TickSource {
public:
    void start() override {}
    void stop() override {}
};

// One frame of the engine with two frame observers and a view-like listener,
// as in the running app.
void engineTick(benchmark::State &state, bool follow) {
    ScrollEngine engine(160);
    auto clock = std::make_shared<ManualClock>();
    engine.attach(clock);
    engine.setContentHeight(1e12);
    double sink = 0;
    engine.addFrameObserver([&sink](double dt) { sink += dt; });
    engine.addFrameObserver([&sink](double dt) { sink -= dt / 2; });
    QObject::connect(&engine, &ScrollEngine::offsetChanged, &engine, [&sink] { sink += 1; });
    if (follow)
        engine.setFollowTarget(1e9);
    engine.play();
    for (auto _ : state) {
        clock->onTick(1.0 / 120);
        benchmark::DoNotOptimize(engine.offset());
    }
    benchmark::DoNotOptimize(sink);
}

void BM_EngineTick_Speed(benchmark::State &state) {
    engineTick(state, false);
}
void BM_EngineTick_Follow(benchmark::State &state) {
    engineTick(state, true);
}

} // namespace

BENCHMARK(BM_EngineTick_Speed);
BENCHMARK(BM_EngineTick_Follow);

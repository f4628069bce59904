// One frame of the island as the running app draws it: the engine's tick,
// the glow masks and the paint of the whole window, for a 5,000-word script.
#include "BenchText.h"
#include "IslandPanel.h"
#include "island/IslandLayoutModel.h"
#include "library/ScriptStore.h"
#include "playback/ScrollEngine.h"
#include "reading/LibrarySelection.h"
#include "reading/ScriptViewportModel.h"
#include "settings/ReadingPreferences.h"
#include "settings/SettingsStore.h"
#include "text/GlowSource.h"

#include <QApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

class ManualClock : public TickSource {
public:
    void start() override {}
    void stop() override {}
};

// A front that moves a few characters per frame, as a reading voice does.
class MovingGlow : public GlowSource {
public:
    explicit MovingGlow(ScriptViewportModel &model)
        : m_model(model) {}
    QString text() const override { return m_model.layout()->key().text; }
    double glowFront() const override { return front; }
    double lookaheadEnd() const override { return front + 12; }
    std::shared_ptr<const ScriptLayout> layout() const override { return m_model.layout(); }
    double front = 0;

private:
    ScriptViewportModel &m_model;
};

// Arguments: the pixel ratio, and whether the pace guide lights the text.
// A frame paints the script area, as a scrolling frame of the app does.
void BM_IslandFrame(benchmark::State &state) {
    const auto dpr = static_cast<double>(state.range(0));
    const bool lit = state.range(1) != 0;
    QTemporaryDir dir;
    auto settings = SettingsStore::inMemory();
    ReadingPreferences prefs(*settings);
    IslandLayoutModel model;
    ScrollEngine scroll(160);
    auto clock = std::make_shared<ManualClock>();
    scroll.attach(clock);
    ScriptStore store(dir.filePath("lib"), {true, benchScript(5000), nullptr, {}});
    LibrarySelection selection(store);
    ScriptViewportModel viewport(selection, prefs, scroll);
    MovingGlow glow(viewport);

    ScreenFacts screen;
    screen.frame = QRectF(0, 0, 1512, 982);
    screen.visibleFrame = QRectF(0, 24, 1512, 958);
    const NotchGeometry g = NotchGeometry::measure(screen, 180);
    const IslandLayout layout = IslandLayout::make({400, 56, 160, IslandPlacement::topCenter()}, g);
    model.setLayout(layout);
    IslandPanel panel(model, scroll, viewport);
    panel.resize(layout.windowFrame.size().toSize());
    if (lit)
        viewport.setGlowSource(&glow);
    // About 150 words a minute, while the engine scrolls at its speed.
    scroll.addFrameObserver([&](double dt) { glow.front += dt * 15; });
    scroll.play();
    panel.finishAnimations();
    QImage frame((QSizeF(panel.size()) * dpr).toSize(), QImage::Format_RGB32);
    frame.setDevicePixelRatio(dpr);
    frame.fill(Qt::black);
    const QRect area = layout.scriptArea().toAlignedRect();
    for (auto _ : state) {
        clock->onTick(1.0 / 60);
        panel.render(&frame, area.topLeft(), QRegion(area));
        benchmark::DoNotOptimize(frame.constBits());
        if (!scroll.isPlaying()) {
            scroll.restart();
            scroll.play();
            glow.front = 0;
        }
    }
    state.SetLabel(QStringLiteral("5,000 words, script area %1x%2 at %3x%4")
                       .arg(area.width())
                       .arg(area.height())
                       .arg(dpr)
                       .arg(lit ? ", lit" : "")
                       .toStdString());
}

} // namespace

BENCHMARK(BM_IslandFrame)->ArgsProduct({{1, 2}, {0, 1}})->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

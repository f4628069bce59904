// One frame of the island as the running app draws it: the engine's tick,
// the glow masks and the paint of the whole window, for a 5,000-word script.
#include "BenchText.h"
#include "Orvell/island/IslandPanel.h"
#include "OrvellKitUI/ScriptRenderer.h"
#include "island/IslandLayoutModel.h"
#include "library/ScriptStore.h"
#include "playback/ScrollEngine.h"
#include "reading/LibrarySelection.h"
#include "reading/ScriptViewportModel.h"
#include "settings/ReadingPreferences.h"
#include "settings/SettingsStore.h"
#include "text/GlowSource.h"

#include <QApplication>
#include <QPainter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cmath>

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

// A frame while the text rests on its line and the light moves along it
// (the pace guide and voice follow between line changes): the script is
// brought up to the frame and only what changed is painted, as the island
// repaints it. Argument: the pixel ratio.
void BM_IslandLightFrame(benchmark::State &state) {
    const auto dpr = static_cast<double>(state.range(0));
    QTemporaryDir dir;
    auto settings = SettingsStore::inMemory();
    ReadingPreferences prefs(*settings);
    ScrollEngine scroll(160);
    ScriptStore store(dir.filePath("lib"), {true, benchScript(5000), nullptr, {}});
    LibrarySelection selection(store);
    ScriptViewportModel viewport(selection, prefs, scroll);
    const QRectF area(0, 0, 364, 150);
    viewport.setViewportSize(area.size());
    const std::shared_ptr<const ScriptLayout> layout = viewport.layout();
    QImage frame((area.size() * dpr).toSize(), QImage::Format_RGB32);
    frame.setDevicePixelRatio(dpr);
    ScriptRenderer renderer;
    // The front walks a line in the middle of the area, and back, so the
    // benchmark never runs off it.
    const auto &line = layout->lines()[layout->lines().size() / 2];
    const double offset = line.top;
    double front = 0, step = 0.25;
    long long frames = 0, repainted = 0;
    for (auto _ : state) {
        front += step;
        if (front > 40 || front < 0)
            step = -step;
        const double t = ++frames % 54 / 54.0;
        // The lookahead ends at a word's end, a word or two ahead.
        const double end = line.firstCharacter + (std::floor(front / 6) + 2) * 6;
        const ScriptRenderer::Glow glow{line.firstCharacter + front, end, 0.25 + 0.7 * t};
        const QRect changed = renderer.prepare(area, layout, offset, glow, dpr);
        repainted += changed.width() * changed.height();
        QPainter p(&frame);
        p.setClipRect(changed);
        renderer.paint(p, area, layout, offset, glow);
        benchmark::DoNotOptimize(frame.constBits());
    }
    state.SetLabel(QStringLiteral("script area 364x150 at %1x; repainted %2 of %3 px a frame")
                       .arg(dpr)
                       .arg(frames ? repainted / frames : 0)
                       .arg(364 * 150)
                       .toStdString());
}

} // namespace

BENCHMARK(BM_IslandFrame)->ArgsProduct({{1, 2}, {0, 1}})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_IslandLightFrame)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

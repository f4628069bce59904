#include "IslandPanel.h"
#include "ScriptRenderer.h"
#include "base/Metrics.h"
#include "island/IslandLayoutModel.h"
#include "library/ScriptStore.h"
#include "playback/ScrollEngine.h"
#include "reading/LibrarySelection.h"
#include "reading/ScriptViewportModel.h"
#include "settings/ReadingPreferences.h"
#include "settings/SettingsStore.h"

#include "support/ManualScheduler.h"

#include <QFile>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

const QString script = QStringLiteral(
    "Good morning, everyone. Thank you for joining us today. We have three things to cover, "
    "and the first one is the launch date.\nAfter that, questions.");

class FixedGlow : public GlowSource {
public:
    FixedGlow(ScriptViewportModel &model, double front, double lookahead)
        : m_model(model)
        , m_front(front)
        , m_lookahead(lookahead) {}
    QString text() const override {
        return m_model.layout() ? m_model.layout()->key().text : QString();
    }
    double glowFront() const override { return m_front; }
    double lookaheadEnd() const override { return m_lookahead; }
    std::shared_ptr<const ScriptLayout> layout() const override { return m_model.layout(); }

private:
    ScriptViewportModel &m_model;
    double m_front, m_lookahead;
};

// Compares with tests/data/reference/NAME.png within a tolerance; on a
// mismatch writes NAME.actual.png beside it and says so. Promoting it is a
// rename after a look.
void expectMatchesReference(const QImage &image, const QString &name) {
    const QString dir = qEnvironmentVariable("ORVELL_TEST_DATA") + "/reference/";
    const QString reference = dir + name + ".png";
    const QString actual = dir + name + ".actual.png";
    const QImage expected(reference);
    const QImage got = image.convertToFormat(QImage::Format_ARGB32);
    bool same = !expected.isNull() && expected.size() == got.size();
    long differing = 0;
    if (same) {
        const QImage want = expected.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < got.height(); ++y) {
            const QRgb *a = reinterpret_cast<const QRgb *>(got.constScanLine(y));
            const QRgb *b = reinterpret_cast<const QRgb *>(want.constScanLine(y));
            for (int x = 0; x < got.width(); ++x) {
                const int d =
                    std::abs(qRed(a[x]) - qRed(b[x])) + std::abs(qGreen(a[x]) - qGreen(b[x])) +
                    std::abs(qBlue(a[x]) - qBlue(b[x])) + std::abs(qAlpha(a[x]) - qAlpha(b[x]));
                if (d > 48)
                    ++differing;
            }
        }
        // Anti-aliasing may differ a little between machines; shapes may not.
        same = differing <= got.width() * got.height() / 500;
    }
    if (!same) {
        got.save(actual);
        ADD_FAILURE() << name.toStdString() << " differs from its reference (" << differing
                      << " pixels); wrote " << actual.toStdString();
    } else {
        QFile::remove(actual);
    }
}

struct RenderFixture : ::testing::Test {
    QTemporaryDir dir;
    std::unique_ptr<SettingsStore> settings = SettingsStore::inMemory();
    ReadingPreferences prefs{*settings};
    ManualScheduler clock;
    IslandLayoutModel model{clock};
    ScrollEngine scroll{160};
    ScriptStore store{dir.filePath("lib"), {true, script, &clock, {}}};
    LibrarySelection selection{store};
    ScriptViewportModel viewport{selection, prefs, scroll};

    QImage renderIsland(IslandPlacement placement = IslandPlacement::topCenter()) {
        ScreenFacts screen;
        screen.frame = QRectF(0, 0, 1512, 982);
        screen.visibleFrame = QRectF(0, 24, 1512, 958);
        const NotchGeometry g = NotchGeometry::measure(screen, 180);
        const IslandLayout layout = IslandLayout::make({400, 56, 160, placement}, g);
        model.setGeometry(g);
        model.setLayout(layout);
        IslandPanel panel(model, scroll, viewport);
        panel.resize(layout.windowFrame.size().toSize());
        panel.finishAnimations();
        QImage image(panel.size(), QImage::Format_ARGB32_Premultiplied);
        // The desktop behind the island, so its outline shows.
        image.fill(QColor(91, 122, 153));
        panel.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        return image;
    }
};

} // namespace

TEST_F(RenderFixture, idleIslandIsThePillAtTheTopCentre) {
    const QImage image = renderIsland();
    // Black inside the pill, the desktop beside it and below it.
    EXPECT_EQ(image.pixelColor(273, 10), QColor(0, 0, 0));
    EXPECT_EQ(image.pixelColor(273, 40), QColor(91, 122, 153));
    EXPECT_EQ(image.pixelColor(150, 10), QColor(91, 122, 153));
    expectMatchesReference(image, "island-idle");
}

TEST_F(RenderFixture, liveIslandLightsWhatWasSaidAndWhatComesNext) {
    scroll.play();
    scroll.pause();
    // Halfway into the second line, with the next word as the lookahead.
    FixedGlow glow(viewport, 37.5, 44);
    viewport.setGlowSource(&glow);
    scroll.setOffset(20);
    const QImage image = renderIsland();
    expectMatchesReference(image, "island-live-glow");
    viewport.setGlowSource(nullptr);
}

TEST_F(RenderFixture, movedIslandShowsItsTwoButtons) {
    scroll.play();
    scroll.pause();
    const QImage image = renderIsland(IslandPlacement::free(500, 120));
    expectMatchesReference(image, "island-moved");
}

TEST(ScriptRenderer, aFrameReusesTheLinesItRendered) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const ScriptLayout::Key key{script, 364, 24, 5.0 / 3.0};
    auto layout = std::make_shared<const ScriptLayout>(key, ScriptWords(script));
    ScriptRenderer renderer;
    QImage canvas(364, 150, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&canvas);
    renderer.paint(p, QRectF(0, 0, 364, 150), layout, 0, ScriptRenderer::Glow{10, 20, 0.5});
    const size_t lines = renderer.cachedLineCount();
    EXPECT_GT(lines, 0u);
    renderer.paint(p, QRectF(0, 0, 364, 150), layout, 0, ScriptRenderer::Glow{12, 22, 0.6});
    EXPECT_EQ(renderer.cachedLineCount(), lines);
    // A new layout starts a new cache.
    auto other = std::make_shared<const ScriptLayout>(key, ScriptWords(script));
    renderer.paint(p, QRectF(0, 0, 364, 150), other, 500, std::nullopt);
    EXPECT_LE(renderer.cachedLineCount(), lines + 2);
}

TEST_F(RenderFixture, aScrollFramePaintsTheScriptAreaAsAFullPaintWould) {
    scroll.play();
    scroll.pause();
    scroll.setOffset(37.3);
    const QImage full = renderIsland();
    // Only the script area again, as a scrolling frame repaints it.
    ScreenFacts screen;
    screen.frame = QRectF(0, 0, 1512, 982);
    screen.visibleFrame = QRectF(0, 24, 1512, 958);
    const IslandLayout layout = IslandLayout::make({400, 56, 160, IslandPlacement::topCenter()},
                                                   NotchGeometry::measure(screen, 180));
    IslandPanel panel(model, scroll, viewport);
    panel.resize(layout.windowFrame.size().toSize());
    panel.finishAnimations();
    const QRect area(QPointF(layout.bodyOrigin.x() + Metrics::scriptHorizontalPadding,
                             layout.bodyOrigin.y() + layout.contentTopInset)
                         .toPoint(),
                     QSize(364, 150));
    QImage partial = full.copy();
    partial.fill(QColor(91, 122, 153));
    panel.render(&partial, area.topLeft(), QRegion(area), QWidget::DrawChildren);
    EXPECT_EQ(partial.copy(area), full.copy(area));
}

TEST(ScriptRenderer, aLitLineIsReusedOnlyWhileItsLightStaysTheSame) {
    const ScriptLayout::Key key{script, 364, 24, 5.0 / 3.0};
    auto layout = std::make_shared<const ScriptLayout>(key, ScriptWords(script));
    const auto paint = [&](ScriptRenderer &renderer, double front, double end) {
        QImage canvas(364, 150, QImage::Format_ARGB32_Premultiplied);
        canvas.fill(Qt::black);
        QPainter p(&canvas);
        renderer.paint(p, QRectF(0, 0, 364, 150), layout, 45,
                       ScriptRenderer::Glow{front, end, 0.5});
        return canvas;
    };
    // One renderer follows the front through the text, in steps of a frame
    // along a line (where only the strip the light crossed is composed
    // again), across lines and back; each frame must look as a renderer that
    // never saw the earlier frames draws it.
    ScriptRenderer following;
    for (double front : {0.0, 30.0, 30.4, 31.9, 33.0, 37.5, 200.0, 201.0, 60.0, 0.0}) {
        ScriptRenderer fresh;
        EXPECT_EQ(paint(following, front, front + 12), paint(fresh, front, front + 12))
            << "front at " << front;
    }
}

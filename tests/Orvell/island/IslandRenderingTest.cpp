#include "OrvellKitUI/Blur.h"
#include "Orvell/island/IslandPanel.h"
#include "OrvellKitUI/ScriptRenderer.h"
#include "island/IslandLayoutModel.h"
#include "library/ScriptStore.h"
#include "playback/ScrollEngine.h"
#include "reading/LibrarySelection.h"
#include "reading/ScriptViewportModel.h"
#include "settings/ReadingPreferences.h"
#include "settings/SettingsStore.h"

#include "support/FakeTickSource.h"
#include "support/IslandFixture.h"

#include <QCoreApplication>
#include <QFile>
#include <QPainter>
#include <QScreen>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using namespace island_fixture;

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

struct RenderFixture : IslandFixture {
    QImage renderIsland(IslandPlacement placement = IslandPlacement::topCenter(),
                        std::optional<ShadowStyle> shadow = std::nullopt) {
        const IslandLayout layout = placeIsland(placement);
        IslandPanel panel(model, scroll, viewport);
        panel.setShadowStyle(shadow);
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

TEST_F(RenderFixture, aShadowFallsOnlyUnderAnIslandAwayFromTheTopEdge) {
    scroll.play();
    scroll.pause();
    const QColor desk(91, 122, 153);
    const auto darker = [&](const QImage &image, QPointF at) {
        const QColor c = image.pixelColor(at.toPoint());
        return c.red() < desk.red() - 8 && c.blue() < desk.blue() - 8;
    };
    const IslandLayout moved = placeIsland(IslandPlacement::free(500, 120));
    const QRectF body(moved.bodyOrigin, QSizeF(moved.bodyWidth, moved.bodyHeight));
    const QPointF below(body.center().x(), body.bottom() + 6);
    const QPointF beside(body.right() + 4, body.center().y());
    const QImage plain = renderIsland(IslandPlacement::free(500, 120));
    EXPECT_EQ(plain.pixelColor(below.toPoint()), desk);
    const QImage shadowed = renderIsland(IslandPlacement::free(500, 120), Shadows::notchPanel());
    EXPECT_TRUE(darker(shadowed, below));
    EXPECT_TRUE(darker(shadowed, beside));
    // The body itself stays the panel's black, not darkened twice.
    EXPECT_EQ(shadowed.pixelColor(QPoint(int(body.left()) + 4, int(body.center().y()))),
              QColor(0, 0, 0));
    // Far from it, nothing.
    EXPECT_EQ(shadowed.pixelColor(QPoint(int(body.center().x()), int(body.bottom()) + 40)), desk);
    // Hanging from the top edge it is part of the display's edge: no shadow.
    const IslandLayout top = placeIsland();
    const QImage atTop = renderIsland(IslandPlacement::topCenter(), Shadows::notchPanel());
    EXPECT_EQ(atTop.pixelColor(QPoint(int(top.bodyOrigin.x() + top.bodyWidth / 2),
                                      int(top.bodyOrigin.y() + top.bodyHeight) + 6)),
              desk);
}

TEST_F(RenderFixture, theCountdownShowsItsNumberAloneOverTheScriptArea) {
    scroll.setCountdownEnabled(true);
    scroll.play();
    ASSERT_EQ(scroll.countdownNumber(), 3);
    const IslandLayout layout = placeIsland();
    const QImage counting = renderIsland();
    const QRect area = layout.scriptArea().toAlignedRect();
    int bright = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            bright += qGray(counting.pixel(x, y)) > 200 ? 1 : 0;
    // A big white numeral in the middle, and nothing else lit around it.
    EXPECT_GT(bright, 150);
    EXPECT_EQ(counting.pixelColor(area.left() + 4, area.top() + 4), QColor(0, 0, 0));
    scroll.pause();
    EXPECT_EQ(scroll.countdownNumber(), 0);
    const QImage paused = renderIsland();
    EXPECT_NE(paused.copy(area), counting.copy(area));
}

TEST_F(RenderFixture, aScrollFramePaintsTheScriptAreaAsAFullPaintWould) {
    scroll.play();
    scroll.pause();
    scroll.setOffset(37.3);
    const QImage full = renderIsland();
    // Only the script area again, as a scrolling frame repaints it.
    const IslandLayout layout = placeIsland();
    IslandPanel panel(model, scroll, viewport);
    panel.resize(layout.windowFrame.size().toSize());
    panel.finishAnimations();
    const QRect area(layout.scriptArea().topLeft().toPoint(), QSize(364, 150));
    QImage partial = full.copy();
    partial.fill(QColor(91, 122, 153));
    panel.render(&partial, area.topLeft(), QRegion(area), QWidget::DrawChildren);
    EXPECT_EQ(partial.copy(area), full.copy(area));
}

TEST_F(RenderFixture, theIslandOnScreenIsWhatAFullPaintShows) {
    // The window repaints only what each frame changed; what it shows must
    // still be, frame after frame, what painting it whole shows.
    const QRect area = showLiveIsland();
    int checked = 0;
    for (int frame = 0; frame < 90; ++frame) {
        // A light that moved between a frame and its paint is painted too.
        readFrame(frame, 45);
        if (frame % 3 != 0)
            continue;
        const auto [shown, whole] = shownAndWhole(area);
        ASSERT_FALSE(shown.isNull());
        EXPECT_EQ(shown, whole) << "frame " << frame;
        ++checked;
    }
    EXPECT_EQ(checked, 30);
}

// The island's frames on a real X server (run under Xvfb by CTest), where
// they are shown past Qt's backing store: the pixels the server holds must
// be, frame after frame and after the window is covered and uncovered, what
// painting the island whole shows.
#include "IslandPanel.h"

#include "support/FakeTickSource.h"
#include "support/IslandFixture.h"
#include "support/X11TestSupport.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>

#include <gtest/gtest.h>

using namespace island_fixture;

namespace {

struct X11IslandFrames : IslandFixture {
    // What the X server shows of the window, and what a whole paint shows.
    static std::pair<QImage, QImage> shownAndWhole(IslandPanel &panel, const QRect &area) {
        const QImage shown = panel.screen()
                                 ->grabWindow(panel.winId())
                                 .toImage()
                                 .convertToFormat(QImage::Format_RGB32);
        const QImage whole = panel.grab().toImage().convertToFormat(QImage::Format_RGB32);
        return {shown.copy(area), whole.copy(area)};
    }
};

} // namespace

TEST_F(X11IslandFrames, theServerShowsWhatAWholePaintShows) {
    const IslandLayout layout = placeIsland();
    auto ticks = std::make_shared<FakeTickSource>();
    scroll.attach(ticks);
    MovingGlow glow(viewport, 20, 30);
    viewport.setGlowSource(&glow);
    IslandPanel panel(model, scroll, viewport);
    const QRect frameRect(QPoint(100, 0), layout.windowFrame.size().toSize());
    panel.setFrame(frameRect);
    panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    scroll.play();
    panel.finishAnimations();
    QCoreApplication::processEvents();
    const QPoint corner = panel.geometry().topLeft() - frameRect.topLeft();
    // In device pixels, as both images hold them.
    const double dpr = panel.devicePixelRatioF();
    const QRect logical = layout.scriptArea().toAlignedRect().translated(-corner);
    const QRect area(logical.topLeft() * dpr, logical.size() * dpr);

    int checked = 0;
    for (int frame = 0; frame < 60; ++frame) {
        // The light creeps along; the text scrolls a fraction of a pixel a
        // frame, then eases to a line and rests there. Now and then the
        // light jumps after a frame was shown, as when a voice result
        // arrives: the next frame shows where it went, and where it was.
        const double front = 20 + 0.6 * frame;
        glow.set(front, front + 12);
        if (frame == 30)
            scroll.setFollowTarget(scroll.offset() + 3);
        ticks->frame(1.0 / 60);
        if (frame % 3 == 0)
            glow.set(front + 30, front + 42);
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
        if (frame % 3 != 1)
            continue;
        const auto [shown, whole] = shownAndWhole(panel, area);
        ASSERT_FALSE(shown.isNull());
        EXPECT_EQ(shown, whole) << "frame " << frame;
        ++checked;
    }
    EXPECT_EQ(checked, 20);

    // Unmapped and mapped again, as another program may: Qt shows the
    // window from its backing store, which frames shown past it never went
    // into.
    scroll.pause();
    const QString id = QString::number(panel.winId());
    run("xdotool", {"windowunmap", "--sync", id});
    run("xdotool", {"windowmap", "--sync", id});
    EXPECT_TRUE(waitUntil(
        [&] {
            const auto [shown, whole] = shownAndWhole(panel, area);
            return shown == whole;
        },
        3000));
    viewport.setGlowSource(nullptr);
}

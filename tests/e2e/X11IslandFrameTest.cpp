// The island's frames on a real X server (run under Xvfb by CTest), where
// they are shown past Qt's backing store: the pixels the server holds must
// be, frame after frame and after the window is unmapped and mapped again, what
// painting the island whole shows.
#include "IslandPanel.h"

#include "support/FakeTickSource.h"
#include "support/IslandFixture.h"
#include "support/X11TestSupport.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

using namespace island_fixture;

using X11IslandFrames = IslandFixture;

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
        // Shown at once: a light that moved after a frame was shown is
        // shown with the next frame, where it went and where it was.
        readFrame(frame, 30, glow, *ticks);
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

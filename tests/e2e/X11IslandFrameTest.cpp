// The island's frames on a real X server (run under Xvfb by CTest), where
// they are shown past Qt's backing store: the pixels the server holds must
// be, frame after frame and after the window is unmapped and mapped again, what
// painting the island whole shows.
#include "Orvell/island/IslandPanel.h"

#include "support/IslandFixture.h"
#include "support/X11TestSupport.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

using namespace island_fixture;

using X11IslandFrames = IslandFixture;

TEST_F(X11IslandFrames, theServerShowsWhatAWholePaintShows) {
    const QRect area = showLiveIsland();

    int checked = 0;
    for (int frame = 0; frame < 60; ++frame) {
        // Shown at once: a light that moved after a frame was shown is
        // shown with the next frame, where it went and where it was.
        readFrame(frame, 30);
        if (frame % 3 != 1)
            continue;
        const auto [shown, whole] = shownAndWhole(area);
        ASSERT_FALSE(shown.isNull());
        EXPECT_EQ(shown, whole) << "frame " << frame;
        ++checked;
    }
    EXPECT_EQ(checked, 20);

    // Unmapped and mapped again, as another program may: Qt shows the
    // window from its backing store, which frames shown past it never went
    // into.
    scroll.pause();
    const QString id = QString::number(livePanel->winId());
    run("xdotool", {"windowunmap", "--sync", id});
    run("xdotool", {"windowmap", "--sync", id});
    EXPECT_TRUE(waitUntil(
        [&] {
            const auto [shown, whole] = shownAndWhole(area);
            return shown == whole;
        },
        3000));
}

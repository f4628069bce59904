#pragma once

// The island with its models, on a notched laptop screen, for the tests that
// draw it: in memory and on a real X server.
#include "Orvell/island/IslandPanel.h"
#include "island/IslandLayoutModel.h"
#include "island/NotchGeometry.h"
#include "library/ScriptStore.h"
#include "playback/ScrollEngine.h"
#include "reading/LibrarySelection.h"
#include "reading/ScriptViewportModel.h"
#include "settings/ReadingPreferences.h"
#include "settings/SettingsStore.h"
#include "text/GlowSource.h"

#include "support/FakeTickSource.h"
#include "support/ManualScheduler.h"

#include <QCoreApplication>
#include <QImage>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <utility>

namespace island_fixture {

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

protected:
    ScriptViewportModel &m_model;
    double m_front, m_lookahead;
};

// A light the test moves frame by frame.
struct MovingGlow : FixedGlow {
    using FixedGlow::FixedGlow;
    void set(double front, double lookahead) {
        m_front = front;
        m_lookahead = lookahead;
    }
};

struct IslandFixture : ::testing::Test {
    QTemporaryDir dir;
    std::unique_ptr<SettingsStore> settings = SettingsStore::inMemory();
    ReadingPreferences prefs{*settings};
    ManualScheduler clock;
    IslandLayoutModel model{clock};
    ScrollEngine scroll{160};
    ScriptStore store{dir.filePath("lib"), {true, script, &clock, {}}};
    LibrarySelection selection{store};
    ScriptViewportModel viewport{selection, prefs, scroll};

    // Lays the island out on a notched laptop screen; returns the layout.
    IslandLayout placeIsland(IslandPlacement placement = IslandPlacement::topCenter()) {
        ScreenFacts screen;
        screen.frame = QRectF(0, 0, 1512, 982);
        screen.visibleFrame = QRectF(0, 0, 1512, 940); // a taskbar at the bottom
        const NotchGeometry g = NotchGeometry::measure(screen, 180);
        const IslandLayout layout = IslandLayout::make({400, 56, 160, placement}, g);
        model.setGeometry(g);
        model.setLayout(layout);
        return layout;
    }

    // The live island, shown; the test moves its light and gives its frames.
    std::shared_ptr<FakeTickSource> liveTicks;
    std::optional<MovingGlow> liveGlow;
    std::unique_ptr<IslandPanel> livePanel;

    ~IslandFixture() override { viewport.setGlowSource(nullptr); }

    // Shows the island live, its light on the first line, and returns its
    // script area in the window's device pixels.
    QRect showLiveIsland() {
        const IslandLayout layout = placeIsland();
        liveTicks = std::make_shared<FakeTickSource>();
        scroll.attach(liveTicks);
        liveGlow.emplace(viewport, 20, 30);
        viewport.setGlowSource(&*liveGlow);
        livePanel = std::make_unique<IslandPanel>(model, scroll, viewport);
        const QRect frameRect(QPoint(100, 0), layout.windowFrame.size().toSize());
        livePanel->setFrame(frameRect);
        livePanel->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(livePanel.get()));
        scroll.play();
        livePanel->finishAnimations();
        QCoreApplication::processEvents();
        // The window covers only what is drawn of the frame: the script area
        // in its own coordinates.
        const QPoint corner = livePanel->geometry().topLeft() - frameRect.topLeft();
        EXPECT_NE(corner, QPoint());
        const QRect logical = layout.scriptArea().toAlignedRect().translated(-corner);
        const double dpr = livePanel->devicePixelRatioF();
        return {logical.topLeft() * dpr, logical.size() * dpr};
    }

    // One frame of a reading: the light creeps along; the text scrolls a
    // fraction of a pixel a frame, then, from frame `settle` on, eases to a
    // line and rests there. On every third frame the light jumps once the
    // frame is made, as when a voice result arrives.
    void readFrame(int frame, int settle) {
        const double front = 20 + 0.6 * frame;
        liveGlow->set(front, front + 12);
        if (frame == settle)
            scroll.setFollowTarget(scroll.offset() + 3);
        liveTicks->frame(1.0 / 60);
        if (frame % 3 == 0)
            liveGlow->set(front + 30, front + 42);
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }

    // `area` of what the window system shows of the island, and of what
    // painting it whole shows.
    std::pair<QImage, QImage> shownAndWhole(const QRect &area) const {
        const QImage shown = livePanel->screen()
                                 ->grabWindow(livePanel->winId())
                                 .toImage()
                                 .convertToFormat(QImage::Format_RGB32);
        const QImage whole = livePanel->grab().toImage().convertToFormat(QImage::Format_RGB32);
        return {shown.copy(area), whole.copy(area)};
    }
};

} // namespace island_fixture

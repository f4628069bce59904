#pragma once

// The island with its models, on a notched laptop screen, for the tests that
// draw it: in memory and on a real X server.
#include "island/IslandLayoutModel.h"
#include "island/NotchGeometry.h"
#include "library/ScriptStore.h"
#include "playback/ScrollEngine.h"
#include "reading/LibrarySelection.h"
#include "reading/ScriptViewportModel.h"
#include "settings/ReadingPreferences.h"
#include "settings/SettingsStore.h"
#include "text/GlowSource.h"

#include "support/ManualScheduler.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

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
        screen.visibleFrame = QRectF(0, 24, 1512, 958);
        const NotchGeometry g = NotchGeometry::measure(screen, 180);
        const IslandLayout layout = IslandLayout::make({400, 56, 160, placement}, g);
        model.setGeometry(g);
        model.setLayout(layout);
        return layout;
    }
};

} // namespace island_fixture

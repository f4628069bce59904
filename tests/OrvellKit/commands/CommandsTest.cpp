#include "commands/PanelToggles.h"
#include "commands/PrompterCommands.h"
#include "reading/VoiceFollow.h"
#include "playback/ScrollEngine.h"

#include "support/FakeTickSource.h"
#include "support/QtPrinters.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

struct CommandsFixture : ::testing::Test {
    ScrollEngine scroll{160};
    VoiceFollow voice{[] {
        VoiceFollow::Recognition r;
        r.makeListener = [](const ScriptWords &) { return nullptr; };
        r.hasModel = [](const QString &) { return true; };
        r.installedLocales = [] { return QStringList{QStringLiteral("en_US")}; };
        return r;
    }()};
    PrompterCommands commands{scroll, voice};
};

} // namespace

TEST_F(CommandsFixture, speedCommandsStepWithinTheRange) {
    scroll.setT(0.45);
    commands.handle(HotKeyAction::speedUp);
    EXPECT_DOUBLE_EQ(scroll.t(), 0.5);
    commands.handle(HotKeyAction::speedUpMore);
    EXPECT_DOUBLE_EQ(scroll.t(), 0.6);
    scroll.setT(0.05);
    commands.handle(HotKeyAction::speedDownMore);
    EXPECT_EQ(scroll.t(), 0);
    commands.setSpeed(1.5);
    EXPECT_EQ(scroll.t(), 1);
}

TEST_F(CommandsFixture, playPauseRestartAndToggles) {
    auto clock = std::make_shared<FakeTickSource>();
    scroll.attach(clock);
    scroll.setContentHeight(100);
    scroll.setOffset(100);
    scroll.session().setElapsed(30);
    commands.handle(HotKeyAction::playPause);
    EXPECT_TRUE(scroll.isPlaying());
    EXPECT_EQ(scroll.offset(), 0); // a finished script plays from the top
    EXPECT_EQ(scroll.session().elapsed(), 0);

    int restarts = 0;
    scroll.addRestartObserver([&] { ++restarts; });
    clock->frame(0.1);
    commands.handle(HotKeyAction::restart);
    EXPECT_TRUE(scroll.isPlaying());
    EXPECT_EQ(restarts, 1);
    commands.handle(HotKeyAction::playPause);
    EXPECT_FALSE(scroll.isPlaying());

    // The panels are the app's: the commands ask for them, once each.
    QSignalSpy island(&commands, &PrompterCommands::islandToggleRequested);
    QSignalSpy deck(&commands, &PrompterCommands::controlDeckToggleRequested);
    commands.handle(HotKeyAction::toggleIsland);
    commands.handle(HotKeyAction::toggleControlDeck);
    commands.handle(HotKeyAction::toggleControlDeck);
    EXPECT_EQ(island.count(), 1);
    EXPECT_EQ(deck.count(), 2);
}

TEST(PanelToggles, flagsNotifyOnlyOnChange) {
    PanelToggles panels;
    QSignalSpy spy(&panels, &PanelToggles::isIslandVisibleChanged);
    panels.setIslandVisible(false);
    panels.setIslandVisible(true);
    panels.setIslandVisible(true);
    EXPECT_EQ(spy.count(), 1);
}

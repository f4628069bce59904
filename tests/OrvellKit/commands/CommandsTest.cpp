#include "commands/PanelToggles.h"
#include "commands/PrompterCommands.h"
#include "playback/ScrollEngine.h"
#include "settings/ReadingPreferences.h"
#include "settings/SettingsStore.h"

#include "support/FakeTickSource.h"
#include "support/QtPrinters.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

struct CommandsFixture : ::testing::Test {
    std::unique_ptr<SettingsStore> store = SettingsStore::inMemory();
    ReadingPreferences prefs{*store};
    ScrollEngine scroll{160};
    PanelToggles panels;
    PrompterCommands commands{scroll, prefs, panels};
};

} // namespace

TEST_F(CommandsFixture, speedCommandsStepAndRememberTheSpeed) {
    scroll.setT(0.45);
    commands.handle(HotKeyAction::speedUp, false);
    EXPECT_DOUBLE_EQ(scroll.t(), 0.5);
    EXPECT_DOUBLE_EQ(prefs.speedT(), 0.5);
    commands.handle(HotKeyAction::speedUp, true);
    EXPECT_DOUBLE_EQ(scroll.t(), 0.6);
    scroll.setT(0.05);
    commands.handle(HotKeyAction::speedDown, true);
    EXPECT_EQ(scroll.t(), 0);
    // At the end of the range the speed stays and is still written back.
    store->setValue("SpeedT", 0.3);
    commands.handle(HotKeyAction::speedDown, false);
    EXPECT_EQ(prefs.speedT(), 0);
}

TEST_F(CommandsFixture, playPauseRestartAndToggles) {
    auto clock = std::make_shared<FakeTickSource>();
    scroll.attach(clock);
    scroll.setContentHeight(100);
    scroll.setOffset(100);
    scroll.session().setElapsed(30);
    commands.handle(HotKeyAction::playPause, false);
    EXPECT_TRUE(scroll.isPlaying());
    EXPECT_EQ(scroll.offset(), 0); // a finished script plays from the top
    EXPECT_EQ(scroll.session().elapsed(), 0);

    int restarts = 0;
    scroll.addRestartObserver([&] { ++restarts; });
    clock->frame(0.1);
    commands.handle(HotKeyAction::restart, false);
    EXPECT_TRUE(scroll.isPlaying());
    EXPECT_EQ(restarts, 1);
    commands.handle(HotKeyAction::playPause, false);
    EXPECT_FALSE(scroll.isPlaying());

    // Before start-up wires them the toggles do nothing; then they reach their panels.
    commands.handle(HotKeyAction::toggleControlDeck, false);
    commands.handle(HotKeyAction::toggleVoiceFollow, false);
    int island = 0, voice = 0;
    panels.toggleIsland = [&] { ++island; };
    commands.toggleVoiceFollow = [&] { ++voice; };
    commands.handle(HotKeyAction::toggleIsland, false);
    commands.handle(HotKeyAction::toggleVoiceFollow, false);
    EXPECT_EQ(island, 1);
    EXPECT_EQ(voice, 1);
}

TEST(PanelToggles, flagsNotifyOnlyOnChange) {
    PanelToggles panels;
    QSignalSpy spy(&panels, &PanelToggles::isIslandVisibleChanged);
    panels.setIslandVisible(false);
    panels.setIslandVisible(true);
    panels.setIslandVisible(true);
    EXPECT_EQ(spy.count(), 1);
}

#include "Orvell/core/ShortcutRegistry.h"
#include "support/FakeGlobalShortcuts.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

constexpr quint64 cmd = HotKeyBinding::commandKeys;

struct CenterFixture : ::testing::Test {
    FakeGlobalShortcuts shortcuts;
    ShortcutRegistry center{shortcuts};
    QByteArray saved = "unset";
    std::vector<HotKeyAction> actions;

    void SetUp() override {
        QObject::connect(&center, &ShortcutRegistry::triggered,
                         [this](HotKeyAction a) { actions.push_back(a); });
        center.saveBindings = [this](const QByteArray &json) { saved = json; };
    }
};

} // namespace

TEST_F(CenterFixture, freshStartGrabsEveryCommandAndPressesBecomeCommands) {
    center.start();
    EXPECT_EQ(shortcuts.grabs.size(), std::size(HotKeyActions::rows));
    EXPECT_TRUE(center.failures().empty());
    shortcuts.press({49, cmd});
    shortcuts.press({126, cmd | HotKeyBinding::shift});
    shortcuts.press({9, cmd});
    ASSERT_EQ(actions.size(), 3u);
    EXPECT_EQ(actions, (std::vector<HotKeyAction>{HotKeyAction::playPause,
                                                  HotKeyAction::speedUpMore,
                                                  HotKeyAction::toggleVoiceFollow}));
    EXPECT_EQ(HotKeyBinding::defaultFor(HotKeyAction::playPause).displayString(),
              "Ctrl+Alt+Super+Space");
    EXPECT_EQ(HotKeyBinding({126, cmd | HotKeyBinding::shift}).displayString(),
              QString::fromUtf8("Ctrl+Alt+Shift+Super+\u2191"));
    EXPECT_EQ(HotKeyBinding({200, cmd}).displayString(), "Ctrl+Alt+Super+Key 200");
}

TEST_F(CenterFixture, assigningValidatesModifiersAndConflicts) {
    center.start();
    auto error = center.assign({126, cmd}, HotKeyAction::restart);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->message(), "That shortcut is already used by Speed Up.");
    error = center.assign({126, cmd | HotKeyBinding::shift}, HotKeyAction::restart);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->owner, HotKeyAction::speedUpMore);
    error = center.assign({40, HotKeyBinding::shift}, HotKeyAction::restart);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->message(), "Add Control, Alt or Super.");
    EXPECT_EQ(saved, "unset");

    EXPECT_FALSE(center.assign({7, cmd}, HotKeyAction::restart));
    EXPECT_EQ(HotKeyBinding::decode(saved),
              (std::map<HotKeyAction, HotKeyBinding>{{HotKeyAction::restart, {7, cmd}}}));
    shortcuts.press({15, cmd}); // the old one is gone
    shortcuts.press({7, cmd});
    ASSERT_EQ(actions.size(), 1u);
    EXPECT_EQ(actions[0], HotKeyAction::restart);

    center.restoreAllDefaults();
    EXPECT_EQ(saved, "{}");
    EXPECT_EQ(shortcuts.grabs.size(), std::size(HotKeyActions::rows));
}

TEST_F(CenterFixture, aShortcutHeldByAnotherAppFailsOnlyItsCommand) {
    shortcuts.taken = {{17, cmd}};
    center.start();
    ASSERT_EQ(center.failures().size(), 1u);
    EXPECT_EQ(center.failures().at(HotKeyAction::toggleIsland),
              "That shortcut is in use by another app.");
    shortcuts.press({49, cmd});
    EXPECT_EQ(actions.size(), 1u);

    // Assigning a taken combination keeps the old binding working.
    shortcuts.taken = {{5, cmd}};
    const auto error = center.assign({5, cmd}, HotKeyAction::restart);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->status, 10);
    EXPECT_EQ(center.binding(HotKeyAction::restart),
              HotKeyBinding::defaultFor(HotKeyAction::restart));
    shortcuts.press({15, cmd});
    EXPECT_EQ(actions.back(), HotKeyAction::restart);
}

TEST_F(CenterFixture, aDesktopThatHoldsNoShortcutsSaysSoAndTheGrabsStay) {
    center.start();
    shortcuts.taken = {{17, cmd}}; // taken since: the grab again finds it
    QString error;
    EXPECT_FALSE(center.setInstalledInDesktop(true, &error));
    EXPECT_EQ(error, "this desktop's keyboard settings do not hold Orvell's shortcuts");
    EXPECT_EQ(shortcuts.grabs.size(), std::size(HotKeyActions::rows) - 1);
    EXPECT_EQ(center.failures().size(), 1u);
}

TEST_F(CenterFixture, savedBindingsOverlayTheDefaults) {
    center.loadBindings = [] {
        return QByteArray(R"({"speedUp": {"keyCode": 124, "modifierFlags": 1835008},
                              "warp": {"keyCode": 1, "modifierFlags": 1835008}})");
    };
    center.start();
    EXPECT_EQ(center.binding(HotKeyAction::speedUp), (HotKeyBinding{124, cmd}));
    EXPECT_EQ(center.binding(HotKeyAction::speedDown),
              HotKeyBinding::defaultFor(HotKeyAction::speedDown));
    EXPECT_TRUE(HotKeyBinding::decode("not json").empty());
    EXPECT_TRUE(HotKeyBinding::decode(R"({"restart": {"keyCode": "R"}})").empty());

    // A press for an id that was released goes nowhere.
    center.unregisterAll();
    shortcuts.press({124, cmd});
    EXPECT_TRUE(actions.empty());
}

TEST(ShortcutRegistry, withoutAShortcutServiceEveryCommandSaysSo) {
    UnavailableGlobalShortcuts none;
    ShortcutRegistry center(none);
    center.start();
    EXPECT_EQ(center.failures().size(), std::size(HotKeyActions::rows));
    EXPECT_EQ(center.failures().at(HotKeyAction::playPause),
              "Global shortcuts are not available on this desktop.");
}

TEST_F(CenterFixture, whileRecordingNothingIsGrabbedAndAssignOnlyChecks) {
    center.start();
    center.suspend();
    EXPECT_TRUE(shortcuts.grabs.empty());
    shortcuts.taken.push_back({12, cmd});
    auto error = center.assign({12, cmd}, HotKeyAction::restart);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->message(), "That shortcut is in use by another app.");
    EXPECT_TRUE(shortcuts.grabs.empty()) << "a failed trial must not bring the old grab back";
    EXPECT_FALSE(center.assign({7, cmd}, HotKeyAction::restart));
    EXPECT_TRUE(shortcuts.grabs.empty()) << "the new binding waits for the end of recording";
    center.restoreAllDefaults();
    EXPECT_TRUE(shortcuts.grabs.empty());
    EXPECT_FALSE(center.assign({7, cmd}, HotKeyAction::restart));
    center.resume();
    EXPECT_EQ(shortcuts.grabs.size(), std::size(HotKeyActions::rows));
    shortcuts.press({7, cmd});
    ASSERT_EQ(actions.size(), 1u);
    EXPECT_EQ(actions[0], HotKeyAction::restart);
}

TEST_F(CenterFixture, bindingsChangedOnDiskAreGrabbedAnewOnlyWhenTheyDiffer) {
    QByteArray stored;
    center.loadBindings = [&] { return stored; };
    center.start();
    int changes = 0;
    QObject::connect(&center, &ShortcutRegistry::bindingsChanged, [&] { ++changes; });
    center.reloadBindings();
    EXPECT_EQ(changes, 0);
    stored = HotKeyBinding::encode({{HotKeyAction::playPause, {35, cmd}}});
    center.reloadBindings();
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(center.binding(HotKeyAction::playPause), (HotKeyBinding{35, cmd}));
    EXPECT_EQ(shortcuts.grabs.size(), std::size(HotKeyActions::rows));
    shortcuts.press({35, cmd});
    ASSERT_EQ(actions.size(), 1u);
    EXPECT_EQ(actions[0], HotKeyAction::playPause);
}

TEST(HotKeyBinding, keyPressesFromQtReadAsTheKeysTheyCameFrom) {
    const Qt::KeyboardModifiers all = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    EXPECT_EQ(HotKeyBinding::fromQt(Qt::Key_P, all), (HotKeyBinding{35, cmd}));
    EXPECT_EQ(HotKeyBinding::fromQt(Qt::Key_Space, all)->displayString(), "Ctrl+Alt+Super+Space");
    // Shift turns 2 into @ on the keyboard, not in the binding.
    EXPECT_EQ(HotKeyBinding::fromQt(Qt::Key_At, Qt::ShiftModifier | Qt::ControlModifier),
              (HotKeyBinding{19, HotKeyBinding::shift | HotKeyBinding::control}));
    EXPECT_EQ(HotKeyBinding::fromQt(Qt::Key_F12, Qt::AltModifier)->displayString(), "Alt+F12");
    EXPECT_EQ(HotKeyBinding::fromQt(Qt::Key_Z, Qt::NoModifier), (HotKeyBinding{6, 0}));
    EXPECT_FALSE(HotKeyBinding::fromQt(Qt::Key_Control, Qt::ControlModifier));
    EXPECT_FALSE(HotKeyBinding::fromQt(Qt::Key_VolumeUp, all));
}

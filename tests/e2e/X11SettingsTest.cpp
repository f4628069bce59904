// The shortcuts pane on a real X server: a shortcut recorded by clicking its
// row and pressing the keys, then fired from the keyboard while another
// window has the focus.
#include "Orvell/core/AppEnvironment.h"
#include "Orvell/library/settings/ShortcutSettingsView.h"
#include "support/TestEnvironment.h"

#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

#include "support/QtPrinters.h"
#include "support/X11TestSupport.h"

TEST(X11ShortcutsPane, aRecordedShortcutFiresFromAnotherWindow) {
    WindowManager windowManager;
    ASSERT_TRUE(windowManager.started()) << "openbox is needed for this test";
    QTest::qWait(300);

    QTemporaryDir dir;
    AppEnvironment::Services services;
    services.settings = SettingsStore::inMemory();
    services.autostart = std::make_unique<TestEnvironment::NoAutostart>();
    services.shortcuts = GlobalShortcuts::create();
    services.libraryRoot = dir.filePath("library");
    AppEnvironment env(std::move(services));
    ASSERT_EQ(env.shortcuts().mechanism(), "X11 key grabs");
    std::vector<HotKeyAction> fired;
    QObject::connect(&env.shortcutRegistry(), &ShortcutRegistry::triggered,
                     [&](HotKeyAction a) { fired.push_back(a); });
    env.shortcutRegistry().start();

    ShortcutSettingsView pane(env);
    pane.setWindowTitle("Orvell Shortcuts Test");
    pane.resize(640, 600);
    pane.show();
    ASSERT_TRUE(waitUntil([&] {
        return !run("xdotool", {"search", "--onlyvisible", "--name", "Orvell Shortcuts Test"})
                    .trimmed()
                    .isEmpty();
    }));
    ASSERT_TRUE(activate(pane));

    // Click the Play / Pause row as a user would, then press the new keys.
    QPushButton *button = pane.bindingButton(HotKeyAction::playPause);
    const QPoint centre = button->mapToGlobal(button->rect().center());
    run("xdotool",
        {"mousemove", QString::number(centre.x()), QString::number(centre.y()), "click", "1"});
    ASSERT_TRUE(waitUntil([&] { return pane.recording() == HotKeyAction::playPause; }));
    // Another command's keys: explained, and not fired, since nothing is grabbed now.
    run("xdotool", {"key", "ctrl+alt+super+r"});
    ASSERT_TRUE(waitUntil([&] { return !pane.message()->isHidden(); }));
    EXPECT_EQ(pane.message()->text(), "That shortcut is already used by Restart Script.");
    EXPECT_TRUE(fired.empty()) << "while recording, no shortcut may fire";
    run("xdotool", {"key", "ctrl+alt+super+p"});
    ASSERT_TRUE(waitUntil([&] { return !pane.recording().has_value(); }));
    EXPECT_EQ(button->text(), "Ctrl+Alt+Super+P");
    EXPECT_TRUE(fired.empty());

    // Another window in front: the new keys reach Orvell through the grab.
    QWidget presentation;
    presentation.setWindowTitle("Presentation");
    presentation.resize(800, 500);
    presentation.show();
    ASSERT_TRUE(activate(presentation));
    run("xdotool", {"key", "ctrl+alt+super+p"});
    ASSERT_TRUE(waitUntil([&] { return !fired.empty(); }));
    EXPECT_EQ(fired.front(), HotKeyAction::playPause);
    // And the old keys are free again.
    fired.clear();
    run("xdotool", {"key", "ctrl+alt+super+space"});
    QTest::qWait(300);
    EXPECT_TRUE(fired.empty());

}

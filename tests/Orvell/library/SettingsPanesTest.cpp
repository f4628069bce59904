#include "Orvell/library/settings/AppearanceSettingsView.h"
#include "Orvell/library/settings/GeneralSettingsView.h"
#include "Orvell/library/settings/ShortcutSettingsView.h"
#include "Orvell/library/LibraryWindow.h"
#include "Orvell/core/ScreenObserver.h"
#include "Orvell/library/settings/SettingsPaneView.h"

#include "support/QtPrinters.h"
#include "support/TestEnvironment.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QWheelEvent>
#include <QApplication>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

constexpr quint64 commandKeys = HotKeyBinding::commandKeys;

ScreenFacts monitor(QString output, QString model, QString serial) {
    ScreenFacts d;
    d.name = output;
    d.manufacturer = model.isEmpty() ? QString() : QStringLiteral("DEL");
    d.model = model;
    d.serial = serial;
    d.frame = QRectF(0, 0, 1920, 1080);
    return d;
}

QStringList items(const QComboBox *box) {
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

void choose(QComboBox *box, int row) {
    box->setCurrentIndex(row);
    emit box->activated(row);
}

void press(QWidget *to, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent event(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(to, &event);
}

} // namespace

TEST(AppearancePane, readoutsPickerAndResetFollowTheSettings) {
    EXPECT_EQ(AppearanceSettingsView::lineHeightText(1.5, 24),
              QString::fromUtf8("1.50\u00D7  (36 pt)"));
    EXPECT_EQ(AppearanceSettingsView::lineHeightText(1.55, 17),
              QString::fromUtf8("1.55\u00D7  (26 pt)"));

    TestEnvironment app;
    Preferences &prefs = app.env->prefs();
    AppearanceSettingsView pane(*app.env);
    // Sliders write while they move; the readouts show what is stored.
    pane.fontSize()->setValue(17);
    pane.lineHeight()->setValue(31);
    EXPECT_EQ(prefs.reading().fontSize(), 17);
    EXPECT_DOUBLE_EQ(prefs.reading().lineHeightMultiple(), 1.55);
    EXPECT_EQ(pane.lineHeightValue()->text(), QString::fromUtf8("1.55\u00D7  (26 pt)"));
    pane.islandWidth()->setValue(53);
    EXPECT_EQ(prefs.islandWidth(), 530);
    pane.coverHeight()->setValue(40);
    EXPECT_EQ(prefs.notchCoverHeight(), 80);
    // Changed elsewhere (the deck's steppers): the pane follows.
    prefs.reading().setFontSize(30);
    EXPECT_EQ(pane.fontSize()->value(), 30);
    EXPECT_EQ(pane.fontSizeValue()->text(), "30 pt");

    // A dragged island shows "Custom (dragged)"; the picker never makes one.
    EXPECT_FALSE(pane.resetPosition()->isEnabled());
    prefs.setIslandPlacement(IslandPlacement::free(40, 60));
    EXPECT_EQ(pane.position()->currentText(), "Custom (dragged)");
    EXPECT_TRUE(pane.resetPosition()->isEnabled());
    choose(pane.position(), 0);
    EXPECT_EQ(prefs.islandPlacementName(), "topLeading");
    choose(pane.position(), 3);
    EXPECT_EQ(prefs.islandPlacementName(), "topLeading");
    EXPECT_EQ(pane.position()->currentText(), "Top left");
    pane.resetPosition()->click();
    EXPECT_EQ(prefs.islandPlacementName(), "topCenter");
    EXPECT_FALSE(pane.resetPosition()->isEnabled());

    // Reset touches the look only: not the speed, display or placement.
    prefs.selectPlacement("topTrailing");
    prefs.reading().setSpeedT(0.8);
    prefs.setTargetDisplay("pointer");
    pane.resetToDefaults()->click();
    EXPECT_EQ(prefs.reading().fontSize(), 24);
    EXPECT_EQ(prefs.islandWidth(), 400);
    EXPECT_EQ(prefs.reading().speedT(), 0.8);
    EXPECT_EQ(prefs.targetDisplay(), "pointer");
    EXPECT_EQ(prefs.islandPlacementName(), "topTrailing");
    EXPECT_EQ(pane.fontSize()->value(), 24);
}

TEST(GeneralPane, displayPickerKeepsTheChosenDisplayThroughReorderingAndUnplugging) {
    TestEnvironment app;
    Preferences &prefs = app.env->prefs();
    std::vector<ScreenFacts> displays = {monitor("eDP-1", "", ""), monitor("DP-1", "U2720Q", "A1"),
                                         monitor("DP-2", "P2419H", "B2")};
    GeneralSettingsView pane(*app.env, nullptr, {[&] { return displays; }, {}});
    EXPECT_EQ(items(pane.display()),
              (QStringList{"Built-in display", "Display with the top panel", "Display with pointer",
                           "eDP-1", "DEL U2720Q (DP-1)", "DEL P2419H (DP-2)"}));
    choose(pane.display(), 5);
    EXPECT_EQ(prefs.targetDisplay(), ScreenObserver::Target::storedFor(displays[2]));

    // Plugged into another port and listed first: still the one chosen.
    ScreenFacts moved = displays[2];
    moved.name = "HDMI-1";
    displays = {moved, displays[0], displays[1]};
    pane.hide();
    pane.show();
    EXPECT_EQ(pane.display()->currentText(), "DEL P2419H (HDMI-1)");
    // Unplugged: the setting stays, and the picker says where it points.
    displays = {displays[1]};
    pane.hide();
    pane.show();
    EXPECT_EQ(prefs.targetDisplay(),
              ScreenObserver::Target::storedFor(monitor("DP-2", "P2419H", "B2")));
    EXPECT_EQ(pane.display()->currentText(),
              QString::fromUtf8("DEL P2419H (DP-2) \u2014 not connected"));
    choose(pane.display(), 2);
    EXPECT_EQ(prefs.targetDisplay(), "pointer");
}

TEST(GeneralPane, togglesWriteThroughAndALoginFailureIsShownWhereTheToggleIs) {
    TestEnvironment app;
    Preferences &prefs = app.env->prefs();
    GeneralSettingsView pane(*app.env, nullptr, {[] { return std::vector<ScreenFacts>(); }, {}});
    pane.taskbar()->click();
    EXPECT_FALSE(prefs.showInTaskbar());
    pane.aboveFullScreen()->click();
    EXPECT_TRUE(prefs.aboveFullScreen());
    pane.launchAtLogin()->click();
    EXPECT_TRUE(prefs.launchAtLogin());
    // Both on by default; off here, and the island's script takes brackets as words.
    EXPECT_TRUE(pane.countdown()->isChecked());
    pane.countdown()->click();
    EXPECT_FALSE(prefs.reading().countdownEnabled());
    EXPECT_FALSE(app.env->scroll().isCountingDown());
    app.env->scroll().play();
    EXPECT_EQ(app.env->scroll().countdownNumber(), 0);
    app.env->scroll().pause();
    EXPECT_TRUE(pane.cues()->isChecked());
    pane.cues()->click();
    EXPECT_FALSE(prefs.reading().bracketsAreCues());
    prefs.reading().setBracketsAreCues(true);
    EXPECT_TRUE(pane.cues()->isChecked()) << "a change made elsewhere shows";

    app.login->failure = "~/.config/autostart is not writable";
    pane.launchAtLogin()->click();
    EXPECT_TRUE(pane.launchAtLogin()->isChecked()) << "the toggle shows what is true";
    EXPECT_FALSE(pane.launchAtLoginProblem()->isHidden());
    EXPECT_EQ(pane.launchAtLoginProblem()->text(),
              "Orvell could not stop starting at login: ~/.config/autostart is not writable");

    // Voice follow and the pace guide exclude each other, and the pane says so.
    pane.lookahead()->setValue(1);
    EXPECT_EQ(prefs.reading().voiceFollowLookahead(), 1);
    EXPECT_EQ(pane.lookahead()->text(), "1 word");
    pane.paceGuide()->click();
    EXPECT_TRUE(prefs.reading().paceGuideEnabled());
    choose(pane.pauses(), 2);
    EXPECT_EQ(prefs.reading().pacePauseStyle(), PauseStyle::generous);
    EXPECT_TRUE(items(pane.rhythmVoice()).first().startsWith("Automatic"));
}

TEST(GeneralPane, voiceFollowSaysWhyItIsUnavailableAndTheMeterListensOnlyWhileShown) {
    TestEnvironment app(true, {}, true);
    Preferences &prefs = app.env->prefs();
    std::vector<GeneralSettingsView::Microphone> inputs = {{"alsa_input.usb", "USB Headset"}};
    auto pane = std::make_unique<GeneralSettingsView>(
        *app.env, nullptr,
        GeneralSettingsView::Sources{[] { return std::vector<ScreenFacts>(); },
                                     [&] { return inputs; }});
    EXPECT_EQ(items(pane->microphone()), (QStringList{"System default", "USB Headset"}));
    EXPECT_EQ(app.microphonesOpen, 0);
    pane->show();
    EXPECT_EQ(app.microphonesOpen, 1) << "the meter listens while the pane is shown";
    EXPECT_TRUE(pane->isMeterOpen());
    QTest::qWait(150);
    EXPECT_GT(pane->inputLevel()->value(), 50) << "a half-scale tone is loud";
    EXPECT_EQ(GeneralSettingsView::meterLevel(std::vector<float>(160, 0.001f).data(), 160), 0);
    choose(pane->microphone(), 1);
    EXPECT_EQ(prefs.microphone(), "alsa_input.usb");
    EXPECT_EQ(app.microphonesOpen, 1) << "reopened on the chosen input, not twice";

    // The chosen one is unplugged: the default is used, visibly.
    inputs.clear();
    pane->hide();
    EXPECT_EQ(app.microphonesOpen, 0);
    pane->show();
    EXPECT_EQ(pane->microphone()->currentText(), "System default");
    EXPECT_FALSE(pane->microphoneNote()->isHidden());
    EXPECT_TRUE(pane->microphoneNote()->text().contains("not connected"));

    // The language picker offers the installed model; a language without
    // one makes the toggle say why.
    prefs.reading().setVoiceFollowLocale("de_DE");
    if (!app.env->voice().isAvailable()) {
        EXPECT_FALSE(pane->voiceFollowNote()->isHidden());
        EXPECT_TRUE(pane->voiceFollowNote()->text().contains("German"));
        EXPECT_FALSE(pane->voiceFollow()->isEnabled());
    }
    EXPECT_EQ(items(pane->language()).first(), "System language");
    pane.reset();
    EXPECT_EQ(app.microphonesOpen, 0);
}

TEST(GeneralPane, targetTimeIsSetInStepsAndNaturalTimeRestored) {
    TestEnvironment app;
    ScriptStore &store = app.env->store();
    GeneralSettingsView pane(*app.env, nullptr, {[] { return std::vector<ScreenFacts>(); }, {}});
    while (const auto id = store.selectedID())
        store.deleteScript(*id);
    EXPECT_FALSE(pane.noScript()->isHidden());
    EXPECT_TRUE(pane.target()->isHidden());

    const Script talk = store.create("Talk", QString("word ").repeated(300), true);
    EXPECT_TRUE(pane.noScript()->isHidden());
    EXPECT_EQ(pane.targetLabel()->text(), QString::fromUtf8("Target for \u201CTalk\u201D"));
    EXPECT_EQ(pane.target()->singleStep(), 5);
    const auto [lo, hi] = app.env->pace().allowedRange();
    const int low = static_cast<int>(std::ceil(lo)), high = static_cast<int>(std::floor(hi));
    EXPECT_TRUE(pane.naturalLine()->text().startsWith("Natural "));
    EXPECT_FALSE(pane.useNatural()->isEnabled());

    // A time the script cannot take is refused with the reason, not bent.
    pane.target()->setValue(high + 60);
    EXPECT_FALSE(store.script(talk.id)->targetSeconds.has_value());
    EXPECT_FALSE(pane.targetProblem()->isHidden());
    EXPECT_TRUE(pane.targetProblem()->text().startsWith(
        QString("This script takes %1\u2013%2").arg(PaceGuide::format(lo), PaceGuide::format(hi))))
        << pane.targetProblem()->text().toStdString();
    EXPECT_EQ(pane.target()->value(), static_cast<int>(std::lround(app.env->pace().targetSeconds())));

    pane.target()->setValue(high);
    EXPECT_EQ(store.script(talk.id)->targetSeconds, high);
    EXPECT_TRUE(pane.targetProblem()->isHidden());
    EXPECT_EQ(pane.target()->text(), PaceGuide::format(high));
    // The arrows stay within what is allowed.
    pane.target()->stepUp();
    EXPECT_EQ(pane.target()->value(), high);
    pane.target()->setValue(low);
    pane.target()->stepDown();
    EXPECT_EQ(pane.target()->value(), low);
    pane.target()->setValue(high);
    EXPECT_TRUE(pane.useNatural()->isEnabled());
    pane.useNatural()->click();
    EXPECT_FALSE(store.script(talk.id)->targetSeconds.has_value());
}

TEST(GeneralPane, theWheelScrollsThePagePastValuesAndChangesOnlyAFocusedOne) {
    TestEnvironment app;
    ScriptStore &store = app.env->store();
    const Script talk = store.create("Talk", QString("word ").repeated(300), true);
    SettingsPaneView pane(SettingsPane::general, *app.env);
    pane.resize(700, 400);
    pane.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&pane));
    auto *form = qobject_cast<GeneralSettingsView *>(pane.form());
    ASSERT_NE(form, nullptr);
    QSpinBox *target = form->target();
    const int before = target->value();
    const auto wheel = [&](QWidget *at, int notches) {
        const QPointF inside(at->width() / 2.0, at->height() / 2.0);
        QWheelEvent event(inside, at->mapToGlobal(inside), QPoint(), QPoint(0, 120 * notches),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(at, &event);
        return event.isAccepted();
    };
    for (int i = 0; i < 8; ++i)
        EXPECT_FALSE(wheel(target, -1)) << "the field kept the wheel from the page around it";
    EXPECT_EQ(target->value(), before);
    EXPECT_FALSE(store.script(talk.id)->targetSeconds.has_value()) << "scrolling saved a target";

    // Clicked into, the field takes the wheel.
    target->setFocus(Qt::MouseFocusReason);
    if (!target->hasFocus())
        GTEST_SKIP() << "no focus on this platform";
    wheel(target, 1);
    EXPECT_NE(target->value(), before);
}

TEST(ShortcutsPane, recordingSuspendsTheGrabsAndAssignsOrExplains) {
    TestEnvironment app;
    ShortcutRegistry &center = app.env->shortcutRegistry();
    center.start();
    ShortcutSettingsView pane(*app.env);
    pane.show();
    EXPECT_EQ(pane.bindingButton(HotKeyAction::playPause)->text(), "Ctrl+Alt+Super+Space");

    pane.bindingButton(HotKeyAction::playPause)->click();
    EXPECT_EQ(pane.recording(), HotKeyAction::playPause);
    EXPECT_TRUE(app.shortcuts->grabs.empty()) << "the keys being pressed must not fire";
    EXPECT_EQ(pane.bindingButton(HotKeyAction::playPause)->text(),
              QString::fromUtf8("Type a shortcut\u2026"));

    // A bare letter keeps the old binding and says what is missing.
    press(&pane, Qt::Key_P);
    EXPECT_EQ(pane.message()->text(), "Add Control, Alt or Super.");
    EXPECT_EQ(center.binding(HotKeyAction::playPause),
              HotKeyBinding::defaultFor(HotKeyAction::playPause));
    // Another command's keys are named.
    press(&pane, Qt::Key_R, Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    EXPECT_EQ(pane.message()->text(), "That shortcut is already used by Restart Script.");
    // A modifier alone waits for its key.
    press(&pane, Qt::Key_Control, Qt::ControlModifier);
    EXPECT_EQ(pane.recording(), HotKeyAction::playPause);
    press(&pane, Qt::Key_P, Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    EXPECT_FALSE(pane.recording());
    EXPECT_TRUE(pane.message()->isHidden());
    EXPECT_EQ(pane.bindingButton(HotKeyAction::playPause)->text(), "Ctrl+Alt+Super+P");
    EXPECT_EQ(app.shortcuts->grabs.size(), std::size(HotKeyActions::rows)) << "grabbed again once recording ends";

    // Escape cancels without changing anything.
    pane.bindingButton(HotKeyAction::restart)->click();
    press(&pane, Qt::Key_Escape);
    EXPECT_FALSE(pane.recording());
    EXPECT_EQ(center.binding(HotKeyAction::restart),
              HotKeyBinding::defaultFor(HotKeyAction::restart));

    // Taken by another program: said in its row.
    app.shortcuts->taken.push_back({40, commandKeys});
    center.unregisterAll();
    center.registerAll();
    EXPECT_EQ(pane.failureLabel(HotKeyAction::toggleControlDeck)->text(),
              "That shortcut is in use by another app.");
    app.shortcuts->taken.clear();

    pane.restoreButton(HotKeyAction::playPause)->click();
    EXPECT_EQ(pane.bindingButton(HotKeyAction::playPause)->text(), "Ctrl+Alt+Super+Space");
    center.assign({7, commandKeys}, HotKeyAction::restart);
    pane.restoreAll()->click();
    EXPECT_EQ(center.binding(HotKeyAction::restart),
              HotKeyBinding::defaultFor(HotKeyAction::restart));
    EXPECT_TRUE(pane.failureLabel(HotKeyAction::toggleControlDeck)->isHidden());

    // Leaving the pane mid-recording gives the shortcuts back.
    pane.bindingButton(HotKeyAction::speedUp)->click();
    pane.hide();
    EXPECT_FALSE(center.isSuspended());
    EXPECT_EQ(app.shortcuts->grabs.size(), std::size(HotKeyActions::rows));
}

TEST(ShortcutsPane, warnsWhileAnotherProgramHoldsTheKeyboardAndNamesTheMechanism) {
    TestEnvironment app;
    ShortcutSettingsView pane(*app.env);
    pane.show();
    EXPECT_TRUE(pane.keyboardHeldWarning()->isHidden());
    app.shortcuts->keyboardHeld = true;
    pane.pollKeyboardHeld();
    EXPECT_FALSE(pane.keyboardHeldWarning()->isHidden());
    app.shortcuts->keyboardHeld = false;
    pane.pollKeyboardHeld();
    EXPECT_TRUE(pane.keyboardHeldWarning()->isHidden());
    EXPECT_EQ(pane.mechanism()->text(), "Active: X11 key grabs.");
}

TEST(SettingsPanes, areSidebarDestinationsMadeWhenChosenAndDroppedWhenLeft) {
    TestEnvironment app;
    LibraryWindow window(*app.env);
    EXPECT_EQ(window.settingsPane(), nullptr);
    window.showSettings(SettingsPane::shortcuts);
    ASSERT_NE(window.settingsPane(), nullptr);
    EXPECT_EQ(window.settingsPane()->pane(), SettingsPane::shortcuts);
    EXPECT_NE(qobject_cast<ShortcutSettingsView *>(window.settingsPane()->form()), nullptr);
    EXPECT_LE(window.settingsPane()->form()->maximumWidth(), 680);
    QPointer<SettingsPaneView> shortcuts = window.settingsPane();
    window.showSettings(SettingsPane::appearance);
    EXPECT_EQ(window.settingsPane()->pane(), SettingsPane::appearance);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(shortcuts.isNull());
    window.sidebar()->setCurrentRow(1);
    EXPECT_EQ(window.settingsPane(), nullptr);
}

#include "OrvellKitUI/GlassButton.h"
#include "OrvellKitUI/ScriptTile.h"
#include "OrvellKitUI/SessionReadouts.h"
#include "OrvellKitUI/SpeedSlider.h"
#include "OrvellKitUI/TypographySteppers.h"
#include "OrvellKitUI/VoiceFollowButton.h"
#include "library/ScriptStore.h"
#include "playback/ScrollEngine.h"
#include "reading/LibrarySelection.h"
#include "reading/VoiceFollow.h"
#include "settings/ReadingPreferences.h"
#include "settings/SettingsStore.h"

#include "support/ManualScheduler.h"
#include "support/QtPrinters.h"

#include <QAccessible>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

QString accessibleName(QWidget *w) {
    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
    return a ? a->text(QAccessible::Name) : QString();
}

} // namespace

TEST(SpeedSlider, geometryPutsTheThumbAndTicksWithinTheTrack) {
    using namespace SpeedSliderGeometry;
    EXPECT_EQ(t(19, 238), 0);
    EXPECT_EQ(t(119, 238), 0.5);
    EXPECT_EQ(t(500, 238), 1);
    for (double x : {-10.0, 0.0, 15.0, 40.0})
        EXPECT_EQ(t(x, 30), 0) << x;
    EXPECT_EQ(tickX(0, 1, 200), 100);
    EXPECT_EQ(tickX(5, 6, 238), 219);
    EXPECT_EQ(thumbCenterX(2, 238), 219);

    using C = SpeedSliderCommand;
    EXPECT_EQ(SpeedSliderCommands::apply(C::increase, 0.98, false), 1);
    EXPECT_EQ(SpeedSliderCommands::apply(C::increase, 0.98, true), 1);
    EXPECT_EQ(SpeedSliderCommands::apply(C::decrease, 0.03, false), 0);
    EXPECT_DOUBLE_EQ(SpeedSliderCommands::apply(C::decrease, 0.5, true), 0.4);
    EXPECT_EQ(SpeedSliderCommands::fromKey(Qt::Key_Home), C::minimum);
    EXPECT_EQ(SpeedSliderCommands::fromKey(Qt::Key_Up), C::increase);
    EXPECT_EQ(SpeedSliderCommands::fromKey(Qt::Key_A), std::nullopt);
}

TEST(SpeedSlider, aScreenReaderReadsAndStepsItInWordsPerMinute) {
    SpeedSlider slider;
    slider.setT(0.45);
    QAccessibleInterface *a11y = QAccessible::queryAccessibleInterface(&slider);
    ASSERT_NE(a11y, nullptr);
    EXPECT_EQ(a11y->role(), QAccessible::Slider);
    EXPECT_EQ(a11y->text(QAccessible::Name), "Speed");
    EXPECT_EQ(a11y->text(QAccessible::Value), "150 words per minute");
    QAccessibleValueInterface *value = a11y->valueInterface();
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->currentValue().toInt(), 150);
    EXPECT_EQ(value->minimumValue().toInt(), 60);
    EXPECT_EQ(value->maximumValue().toInt(), 260);
    EXPECT_EQ(value->minimumStepSize().toInt(), 10);
    QSignalSpy edited(&slider, &SpeedSlider::tEdited);
    value->setCurrentValue(200);
    ASSERT_EQ(edited.count(), 1) << "a change from a screen reader is the user's";
    EXPECT_DOUBLE_EQ(slider.t(), 0.7);
    EXPECT_EQ(value->currentValue().toInt(), 200);
}

TEST(SpeedSlider, keysAndDragsSetTheSpeedAndStopThePulse) {
    SpeedSlider slider;
    slider.resize(238, 38);
    slider.pulse().isPulsing = true;
    QSignalSpy edited(&slider, &SpeedSlider::tEdited);
    slider.setT(0.5);
    EXPECT_EQ(edited.count(), 0); // set from outside: no edit
    QTest::keyClick(&slider, Qt::Key_Right);
    EXPECT_DOUBLE_EQ(slider.t(), 0.55);
    EXPECT_FALSE(slider.pulse().isPulsing);
    QTest::keyClick(&slider, Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_DOUBLE_EQ(slider.t(), 0.45);
    QTest::keyClick(&slider, Qt::Key_End);
    EXPECT_EQ(slider.t(), 1);
    QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(19, 19));
    EXPECT_EQ(slider.t(), 0);
    EXPECT_EQ(edited.count(), 4);
    EXPECT_EQ(accessibleName(&slider), "Speed");
}

TEST(ScriptTile, initialsAndColoursComeFromTheTitleAndTheId) {
    EXPECT_EQ(ScriptTile::initials("  3 little"), "3l");
    EXPECT_EQ(ScriptTile::initials("?!, ..."), QString::fromUtf8("\u00B7"));
    EXPECT_EQ(ScriptTile::initials("keynote"), "Ke");
    EXPECT_EQ(ScriptTile::initials("x"), "X");
    // 16 bytes summing to 16 × 1 = 16: palette entry 16 mod 6 = 4.
    const QUuid ones = QUuid::fromRfc4122(QByteArray(16, '\x01'));
    EXPECT_EQ(ScriptTile::colors(ones).fill, QColor(226, 214, 245));
    EXPECT_EQ(ScriptTile::colors(ones).ink, QColor(79, 58, 128));
    EXPECT_EQ(ScriptTile::colors(QUuid()).fill, QColor(243, 227, 181));
}

TEST(TypographySteppers, stepWithinTheBoundsAndFadeAtThem) {
    auto settings = SettingsStore::inMemory();
    ReadingPreferences prefs(*settings);
    TypographySteppers steppers(prefs);
    prefs.setFontSize(47);
    steppers.increaseSize()->click();
    EXPECT_EQ(prefs.fontSize(), 48);
    EXPECT_TRUE(steppers.increaseSize()->isFaint());
    steppers.increaseSize()->click();
    EXPECT_EQ(prefs.fontSize(), 48);
    EXPECT_FALSE(steppers.decreaseSize()->isFaint());
    prefs.setLineHeightMultiple(1.05);
    steppers.decreaseLineHeight()->click();
    EXPECT_DOUBLE_EQ(prefs.lineHeightMultiple(), 1.0);
    EXPECT_TRUE(steppers.decreaseLineHeight()->isFaint());
    EXPECT_EQ(accessibleName(steppers.increaseLineHeight()), "Increase Line height");
    EXPECT_EQ(accessibleName(steppers.decreaseSize()), "Decrease Text size");
}

TEST(VoiceFollowButton, helpSaysWhatVoiceFollowIsDoing) {
    using K = VoiceFollowState::Kind;
    EXPECT_EQ(VoiceFollowButton::help({K::downloadingModel, 0.426, {}}, true),
              QString::fromUtf8("Downloading the speech model\u2026 42%"));
    EXPECT_EQ(VoiceFollowButton::help({K::failed, 0, "No microphone input is available."}, true),
              "No microphone input is available.");
    EXPECT_EQ(VoiceFollowButton::help({}, true),
              "Voice follow is on: press play and start reading");
    EXPECT_EQ(VoiceFollowButton::help({}, false), "Voice follow: the script follows your voice");
    EXPECT_EQ(VoiceFollowButton::help({K::listening, 0, {}}, true), "Listening");

    // Without a model for the language the button says so, instead of doing nothing.
    QTemporaryDir dir;
    ManualScheduler clock;
    auto settings = SettingsStore::inMemory();
    ReadingPreferences prefs(*settings);
    prefs.setVoiceFollowLocale("de_DE");
    ScrollEngine scroll(160);
    ScriptStore store(dir.filePath("lib"), {true, "Hallo", &clock, {}});
    LibrarySelection selection(store);
    VoiceFollow voice({[](const ScriptWords &) { return std::unique_ptr<VoiceListener>(); },
                       [](const QString &locale) { return locale.startsWith("en"); },
                       [] { return QStringList{"en_US"}; }});
    voice.attach(prefs, scroll, selection);
    VoiceFollowButton button(voice, prefs, 40);
    EXPECT_EQ(button.toolTip(), "Voice follow is not available: no speech model for German is "
                                "installed on this computer.");
    EXPECT_TRUE(button.isFaint());
    prefs.setVoiceFollowLocale("en_US");
    EXPECT_EQ(button.toolTip(), "Voice follow: the script follows your voice");
    button.click();
    EXPECT_TRUE(prefs.voiceFollowEnabled());
    EXPECT_EQ(button.toolTip(), "Voice follow is on: press play and start reading");
}

TEST(SessionReadouts, sayTheReadingTimeAndRateAndTickOnlyWhileReading) {
    QTemporaryDir dir;
    ManualScheduler clock;
    ScriptStore store(dir.filePath("lib"), {false, {}, &clock, {}});
    store.create("Talk", QString("word ").repeated(300), true);
    ScrollEngine scroll(160);
    scroll.setContentHeight(6000);
    // The default speed is a calm 150 words a minute: 300 words in 2:00.
    SessionReadouts readouts(scroll, store);
    EXPECT_EQ(readouts.estimateText(), QString::fromUtf8("2:00  \u00B7  150 wpm"));
    EXPECT_EQ(readouts.elapsedText(), "0:00");
    scroll.setT(0);
    EXPECT_EQ(readouts.estimateText(), QString::fromUtf8("5:00  \u00B7  60 wpm"));
    // A bigger text (a taller layout) keeps the rate and the time.
    scroll.setContentHeight(9000);
    EXPECT_EQ(readouts.estimateText(), QString::fromUtf8("5:00  \u00B7  60 wpm"));
    // No words: the rate the speed is set to.
    EXPECT_EQ(SessionReadouts::line(scroll, 0), QString::fromUtf8("0:00  \u00B7  60 wpm"));
    scroll.session().setElapsed(61.4);
    EXPECT_EQ(readouts.elapsedText(), "1:01");
}

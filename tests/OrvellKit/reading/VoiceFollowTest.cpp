#include "reading/VoiceFollow.h"
#include "reading/ModeStatus.h"
#include "reading/PaceGuide.h"
#include "library/ScriptStore.h"
#include "playback/ScrollEngine.h"
#include "reading/LibrarySelection.h"
#include "settings/ReadingPreferences.h"
#include "settings/SettingsStore.h"

#include "support/FakeTickSource.h"
#include "support/ManualScheduler.h"
#include "support/QtPrinters.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// What happened to one listener; it outlives the listener, which the
// controller deletes once stopped.
struct ListenerLog {
    QString locale;
    bool started = false;
    bool stopped = false;
    VoiceListener *listener = nullptr;
};

struct FakeListener : VoiceListener {
    explicit FakeListener(std::shared_ptr<ListenerLog> l)
        : log(std::move(l)) {
        log->listener = this;
    }
    ~FakeListener() override { log->listener = nullptr; }
    std::shared_ptr<ListenerLog> log;
    void start(const QString &l, const QStringList &) override {
        log->locale = l;
        log->started = true;
        if (onState)
            onState({VoiceFollowState::Kind::listening, 0, {}});
    }
    void stop() override { log->stopped = true; }
};

struct FollowFixture : ::testing::Test {
    QTemporaryDir dir;
    ManualScheduler clock;
    std::unique_ptr<SettingsStore> settings = SettingsStore::inMemory();
    ReadingPreferences prefs{*settings};
    ScrollEngine scroll{150};
    std::shared_ptr<FakeTickSource> ticks = std::make_shared<FakeTickSource>();
    ScriptStore store{dir.filePath("lib"), {false, {}, &clock, {}}};
    LibrarySelection selection{store};
    std::vector<std::shared_ptr<ListenerLog>> listeners;
    VoiceFollow voice{{[this](const ScriptWords &) {
                           listeners.push_back(std::make_shared<ListenerLog>());
                           return std::unique_ptr<VoiceListener>(
                               std::make_unique<FakeListener>(listeners.back()));
                       },
                       [](const QString &) { return true; },
                       {}}};

    void SetUp() override {
        scroll.attach(ticks);
        scroll.setContentHeight(5000);
        store.create("S", "the quick extraordinarily brown fox jumps over the lazy dog", true);
        voice.setViewportWidth(364);
        voice.attach(prefs, scroll, selection);
    }

    std::shared_ptr<ListenerLog> listening() {
        QCoreApplication::processEvents(); // starts are issued from the event loop
        return listeners.empty() || listeners.back()->stopped ? nullptr : listeners.back();
    }
};

// Preferences, a stopped scroll and a one-script library, for a voice
// follow that is never played.
struct BareWorld {
    QTemporaryDir dir;
    ManualScheduler clock;
    std::unique_ptr<SettingsStore> settings = SettingsStore::inMemory();
    ReadingPreferences prefs{*settings};
    ScrollEngine scroll{150};
    ScriptStore store{dir.filePath("lib"), {true, "Hello", &clock, {}}};
    LibrarySelection selection{store};
};

} // namespace

TEST_F(FollowFixture, onWhilePausedItAimsButDoesNotListenUntilPlay) {
    prefs.setVoiceFollowEnabled(true);
    EXPECT_TRUE(voice.isActive());
    ASSERT_NE(voice.layout(), nullptr);
    EXPECT_TRUE(scroll.followTarget());
    EXPECT_EQ(listening(), nullptr);
    EXPECT_EQ(voice.state().kind, VoiceFollowState::Kind::off);

    scroll.play();
    auto l = listening();
    ASSERT_NE(l, nullptr);
    EXPECT_TRUE(l->started);
    EXPECT_EQ(voice.state().kind, VoiceFollowState::Kind::listening);
    scroll.pause();
    EXPECT_TRUE(l->stopped);
    EXPECT_EQ(voice.state().kind, VoiceFollowState::Kind::off);
}

TEST_F(FollowFixture, heardWordsMoveTheCursorTheGlowAndTheScroll) {
    prefs.setVoiceFollowEnabled(true);
    scroll.play();
    auto l = listening();
    ASSERT_NE(l, nullptr);
    const double startTarget = *scroll.followTarget();
    l->listener->onHeard({"the", "quick"});
    EXPECT_EQ(voice.cursor(), 2);
    EXPECT_EQ(voice.spokenLength(), 10); // the start of "extraordinarily"
    EXPECT_EQ(voice.lookaheadEnd(), 35); // through "fox": three words from the cursor
    prefs.setVoiceFollowLookahead(1);
    EXPECT_EQ(voice.lookaheadEnd(), 25); // the cursor's own word
    prefs.setVoiceFollowLookahead(3);
    // The glow catches up, creeps into the next word, and waits when speech stops.
    for (int i = 0; i < 20; ++i)
        ticks->frame(0.05);
    const double waiting = voice.glowFront();
    EXPECT_GT(waiting, 10);
    EXPECT_LT(waiting, 25);
    ticks->frame(0.05);
    EXPECT_EQ(voice.glowFront(), waiting);
    EXPECT_GE(*scroll.followTarget(), startTarget);

    // A result that moves nothing still keeps the glow creeping into the next word.
    l->listener->onHeard({"mumble"});
    ticks->frame(0.05);
    EXPECT_GT(voice.glowFront(), waiting);

    // A restart goes back to the top and keeps the learned rate.
    const double rate = voice.front().rate;
    scroll.restart();
    EXPECT_EQ(voice.cursor(), 0);
    EXPECT_EQ(voice.glowFront(), 0);
    EXPECT_EQ(voice.front().rate, rate);
}

TEST_F(FollowFixture, switchedOnInTheMiddleItListensFromTheLineBeingRead) {
    QStringList lines;
    for (int i = 0; i < 60; ++i)
        lines << QString("line %1 says something the reader will say aloud").arg(i);
    store.create("Long", lines.join('\n'), true);
    QCoreApplication::processEvents();
    // Read a while at the speed, then voice follow goes on and Play is pressed:
    // the text stays within a line or two of where it was.
    scroll.setOffset(1200);
    prefs.setVoiceFollowEnabled(true);
    ASSERT_NE(voice.layout(), nullptr);
    EXPECT_GT(voice.cursor(), 100) << "the cursor went back to the top";
    ASSERT_TRUE(scroll.followTarget());
    EXPECT_NEAR(*scroll.followTarget(), 1200, 100) << "the island would run back to the top";
    scroll.play();
    auto l = listening();
    ASSERT_NE(l, nullptr);
    EXPECT_NEAR(*scroll.followTarget(), 1200, 100);
}

TEST_F(FollowFixture, switchingOffClearsOnlyItsOwnTarget) {
    prefs.setVoiceFollowEnabled(true);
    EXPECT_TRUE(scroll.followTarget());
    prefs.setVoiceFollowEnabled(false);
    EXPECT_FALSE(scroll.followTarget());
    EXPECT_EQ(voice.layout(), nullptr);

    // A target set by someone else (the pace guide) is left alone.
    scroll.setFollowTarget(123.0);
    voice.sync();
    EXPECT_EQ(scroll.followTarget(), 123.0);
}

TEST_F(FollowFixture, changingTheLanguageWhilePlayingRestartsListening) {
    prefs.setVoiceFollowEnabled(true);
    scroll.play();
    auto first = listening();
    ASSERT_NE(first, nullptr);
    prefs.setVoiceFollowLocale("de_DE");
    auto second = listening();
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_TRUE(first->stopped);
    EXPECT_EQ(second->locale, "de_DE");
}

TEST(VoiceFollow, vocabularyListsLongWordsOnceAndUnavailableMeansOff) {
    const ScriptWords words(
        QStringLiteral("Orvell keeps scripts. Orvell, orvell! short words only Lighthouse"));
    EXPECT_EQ(VoiceFollow::vocabulary(words, 200),
              (QStringList{"Orvell", "scripts", "Lighthouse"}));
    EXPECT_EQ(VoiceFollow::vocabulary(words, 1), QStringList{"Orvell"});

    // Without a recogniser voice follow is not available, and cannot be switched on.
    BareWorld world;
    ReadingPreferences &prefs = world.prefs;
    VoiceFollow none;
    none.attach(prefs, world.scroll, world.selection);
    EXPECT_FALSE(none.isAvailable());
    EXPECT_FALSE(none.unavailableReason().isEmpty());
    none.toggle();
    EXPECT_FALSE(prefs.voiceFollowEnabled());
}

TEST(VoiceFollow, withoutAModelForTheSystemLanguageTheInstalledOneIsTheDefault) {
    BareWorld world;
    ReadingPreferences &prefs = world.prefs;
    QStringList installed{"en_US"};
    VoiceFollow::Recognition recognition;
    recognition.makeListener = [](const ScriptWords &) { return nullptr; };
    recognition.hasModel = [&](const QString &l) {
        return QLocale(l).language() == QLocale::English;
    };
    recognition.installedLocales = [&] { return installed; };
    VoiceFollow voice(recognition);
    voice.attach(prefs, world.scroll, world.selection);

    const QLocale before;
    for (const char *system : {"C", "de_DE"}) {
        QLocale::setDefault(QLocale(QString::fromLatin1(system)));
        EXPECT_EQ(voice.locale(), "en_US") << system;
        EXPECT_TRUE(voice.isAvailable()) << system;
        voice.toggle();
        EXPECT_TRUE(prefs.voiceFollowEnabled())
            << "the shortcut works on a " << system << " desktop";
        voice.toggle();
    }
    QLocale::setDefault(QLocale("en_GB"));
    EXPECT_EQ(voice.locale(), "en_GB");

    // A language chosen in the settings stands, and when it has no model
    // the reason names it.
    prefs.setVoiceFollowLocale("de_DE");
    EXPECT_FALSE(voice.isAvailable());
    EXPECT_EQ(voice.unavailableReason(),
              "Voice follow is not available: no speech model for German is installed on this "
              "computer.");
    // No model at all: the system language is named.
    prefs.setVoiceFollowLocale("");
    installed.clear();
    QLocale::setDefault(QLocale("de_DE"));
    EXPECT_EQ(voice.locale(), "de_DE");
    QLocale::setDefault(before);
}

TEST_F(FollowFixture, theStatusSaysWhatTheModesDoAndOneTurningTheOtherOff) {
    PaceGuide pace(clock);
    ModeStatus status(prefs, voice, pace, scroll);
    std::vector<ModeStatus::Line> notices;
    QObject::connect(&status, &ModeStatus::notice,
                     [&](const ModeStatus::Line &line) { notices.push_back(line); });
    EXPECT_TRUE(status.line().text.isEmpty());

    prefs.setPaceGuideEnabled(true);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices.back().text, "Pace guide on");
    EXPECT_TRUE(status.line().text.startsWith("Pace guide: "));

    // Voice follow switched on turns the pace guide off: told once, as one.
    prefs.setVoiceFollowEnabled(true);
    ASSERT_EQ(notices.size(), 2u);
    EXPECT_EQ(notices.back().text, QString::fromUtf8("Voice follow on \u2014 the pace guide is off"));
    EXPECT_FALSE(notices.back().problem);
    EXPECT_EQ(status.line().text, "Voice follow: listens when you press Play");

    // Playing: waiting for the first words until a result moves the cursor.
    scroll.play();
    auto l = listening();
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(status.line().text, "Voice follow: waiting for your first words");
    l->listener->onHeard({"the", "quick"});
    EXPECT_EQ(status.line().text, "Voice follow: listening");

    // A recogniser that fails says why, at once and steadily.
    l->listener->onState({VoiceFollowState::Kind::failed, 0, "The microphone went away."});
    EXPECT_EQ(notices.back(), (ModeStatus::Line{"The microphone went away.", true}));
    EXPECT_EQ(status.line(), (ModeStatus::Line{"The microphone went away.", true}));

    prefs.setPaceGuideEnabled(true);
    EXPECT_EQ(notices.back().text, QString::fromUtf8("Pace guide on \u2014 voice follow is off"));
    prefs.setPaceGuideEnabled(false);
    EXPECT_EQ(notices.back().text, "Pace guide off");
    EXPECT_TRUE(status.line().text.isEmpty());
    EXPECT_EQ(notices.size(), 5u);
}

TEST(ModeStatus, voiceFollowThatCannotListenSaysWhyWhenSwitchedOnAndAtPlay) {
    BareWorld world;
    VoiceFollow none; // no recogniser here
    none.attach(world.prefs, world.scroll, world.selection);
    PaceGuide pace(world.clock);
    ModeStatus status(world.prefs, none, pace, world.scroll);
    std::vector<ModeStatus::Line> notices;
    QObject::connect(&status, &ModeStatus::notice,
                     [&](const ModeStatus::Line &line) { notices.push_back(line); });
    // Switched on from the settings file or another Orvell: the reason, not "on".
    world.prefs.setVoiceFollowEnabled(true);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices.back(), (ModeStatus::Line{none.unavailableReason(), true}));
    EXPECT_EQ(status.line(), notices.back());
    world.scroll.setContentHeight(1000);
    world.scroll.play();
    EXPECT_EQ(notices.size(), 2u);
    EXPECT_TRUE(notices.back().problem);
}

#include "commands/PrompterCommands.h"
#include "library/ScriptStore.h"
#include "pace/RhythmCache.h"
#include "playback/ScrollEngine.h"
#include "reading/PaceGuide.h"
#include "reading/ReadingFrame.h"
#include "reading/ReadingSession.h"
#include "reading/ScriptViewportModel.h"
#include "settings/ReadingPreferences.h"
#include "settings/SettingsStore.h"

#include "support/FakeTickSource.h"
#include "support/ManualScheduler.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

VoiceFollow::Recognition recognitionWithModel() {
    VoiceFollow::Recognition r;
    r.makeListener = [](const ScriptWords &) { return nullptr; };
    r.hasModel = [](const QString &) { return true; };
    r.installedLocales = [] { return QStringList{QStringLiteral("en_US")}; };
    return r;
}

struct SessionFixture : ::testing::Test {
    QTemporaryDir dir;
    ManualScheduler scheduler;
    std::unique_ptr<SettingsStore> settings = SettingsStore::inMemory();
    ReadingPreferences prefs{*settings};
    ScrollEngine scroll{160};
    RhythmCache rhythms{dir.filePath("rhythm")};
    std::unique_ptr<ScriptStore> store = [this] {
        ScriptStoreOptions options;
        options.seedIfEmpty = false;
        options.scheduler = &scheduler;
        return std::make_unique<ScriptStore>(dir.filePath("library"), options);
    }();
    std::unique_ptr<ReadingSession> session = std::make_unique<ReadingSession>(
        *store, prefs, scroll, rhythms, recognitionWithModel(), scheduler);
    PrompterCommands commands{scroll, session->voice(), &session->viewport()};
};

} // namespace

TEST_F(SessionFixture, theSpeedSurvivesWhoeverChangesIt) {
    commands.setSpeed(0.7);
    EXPECT_DOUBLE_EQ(prefs.speedT(), 0.7);
    commands.handle(HotKeyAction::speedDownMore);
    EXPECT_DOUBLE_EQ(prefs.speedT(), 0.6);

    // A later start over the same settings begins at the last speed.
    ScrollEngine later{160};
    ReadingSession again(*store, prefs, later, rhythms, {}, scheduler);
    EXPECT_DOUBLE_EQ(later.t(), 0.6);
}

TEST_F(SessionFixture, choosingAnotherScriptPausesAndRewinds) {
    const Script a = store->create("A", "one two three", true);
    const Script b = store->create("B", "four five six", false);
    auto clock = std::make_shared<FakeTickSource>();
    scroll.attach(clock);
    scroll.setContentHeight(500);
    scroll.play();
    scroll.setOffset(120);

    store->updateBody("one two three four", a.id); // an edit keeps the place
    EXPECT_TRUE(scroll.isPlaying());
    EXPECT_EQ(scroll.offset(), 120);

    store->select(b.id);
    EXPECT_FALSE(scroll.isPlaying());
    EXPECT_EQ(scroll.offset(), 0);
}

TEST_F(SessionFixture, theGuideThatIsOnLightsTheIslandAndLaysOutItsLines) {
    ScriptViewportModel &viewport = session->viewport();
    EXPECT_EQ(viewport.glowSource(), nullptr);

    prefs.setPaceGuideEnabled(true);
    EXPECT_EQ(viewport.glowSource(), &session->pace());
    // Turning voice follow on turns the pace guide off, and its light with it.
    commands.handle(HotKeyAction::toggleVoiceFollow);
    EXPECT_TRUE(prefs.voiceFollowEnabled());
    EXPECT_EQ(viewport.glowSource(), &session->voice());
    commands.handle(HotKeyAction::toggleVoiceFollow);
    EXPECT_EQ(viewport.glowSource(), nullptr);

    store->create("A", "one two three", true);
    viewport.setViewportSize(QSizeF(412, 180));
    EXPECT_EQ(session->pace().viewportWidth(), 412);
    EXPECT_EQ(session->voice().viewportWidth(), 412);
}

TEST_F(SessionFixture, sectionsAreJumpedToWhilePlayingAndTheGuidesTakeUpFromThere) {
    const QString text = "# One\nalpha beta gamma.\n\n# Two\ndelta epsilon zeta.\n\n"
                         "## Two and a half\n[slide 3] eta theta.\n\n# Three\niota kappa lambda.";
    store->create("Talk", text, true);
    ScriptViewportModel &viewport = session->viewport();
    viewport.setViewportSize(QSizeF(364, 150));
    prefs.setCountdownEnabled(false);
    auto clock = std::make_shared<FakeTickSource>();
    scroll.attach(clock);
    const auto layout = viewport.layout();
    ASSERT_TRUE(layout);
    const auto lineOf = [&](const QString &what) {
        return layout->characterLine()[static_cast<size_t>(text.indexOf(what))];
    };
    const auto readingLine = [&] {
        return ReadingFrame::lineAtReadingLine(*layout, scroll.offset(), scroll.viewportHeight());
    };
    ASSERT_EQ(viewport.sections().size(), 4u);
    EXPECT_EQ(viewport.sections()[2].title, "Two and a half");
    EXPECT_EQ(viewport.sections()[2].level, 2);

    // Plain scrolling: the heading lands on the reading line, playing goes on.
    scroll.play();
    commands.handle(HotKeyAction::nextSection);
    EXPECT_EQ(readingLine(), lineOf("# Two"));
    EXPECT_TRUE(scroll.isPlaying());
    commands.handle(HotKeyAction::nextSection);
    EXPECT_EQ(readingLine(), lineOf("## Two"));
    commands.handle(HotKeyAction::previousSection);
    EXPECT_EQ(readingLine(), lineOf("# Two"));

    // Voice follow listens on from the first word under the heading.
    prefs.setVoiceFollowEnabled(true);
    commands.handle(HotKeyAction::nextSection);
    const ScriptWords words(text);
    const auto wordIndex = [&](const QString &key) {
        for (int i = 0; i < words.count(); ++i)
            if (words.words[static_cast<size_t>(i)].key == key)
                return i;
        return -1;
    };
    EXPECT_EQ(session->voice().cursor(), wordIndex("eta")); // past the cue
    EXPECT_EQ(scroll.followTarget().has_value(), true);
    prefs.setVoiceFollowEnabled(false);

    // The pace guide's clock moves to where that word is timed.
    prefs.setPaceGuideEnabled(true);
    commands.handle(HotKeyAction::nextSection);
    EXPECT_EQ(readingLine(), lineOf("# Three"));
    const auto timing = session->pace().schedule().wordSlots;
    ASSERT_FALSE(timing.empty());
    const double at = timing[static_cast<size_t>(wordIndex("iota"))].start;
    EXPECT_DOUBLE_EQ(session->pace().clock(), at);
    // Ahead of the plan, the rest is drawn out towards the target, within a
    // pace a reader keeps; the time left says so.
    const double total = session->pace().schedule().total;
    const double rate = session->pace().rate();
    EXPECT_NEAR(rate, std::clamp((total - at) / (total - scroll.session().elapsed()),
                                 PaceGuide::slowestRate, PaceGuide::fastestRate), 1e-9);
    EXPECT_LT(rate, 1);
    EXPECT_NEAR(session->pace().remainingSeconds(), (total - at) / rate, 1e-9);
    clock->frame(1.0);
    EXPECT_NEAR(session->pace().clock(), at + rate, 1e-9);
    scroll.restart();
    EXPECT_EQ(session->pace().rate(), 1);
    // Past the last section there is nowhere further to go.
    viewport.jumpToLocation(static_cast<int>(text.indexOf("# Three")));
    EXPECT_FALSE(viewport.jumpToSection(+1));
    prefs.setPaceGuideEnabled(false);

    // Without headings the commands move by paragraph.
    const QString plain = "First paragraph here.\n\nSecond one.\nThird line.";
    store->create("Plain", plain, true);
    const auto flat = viewport.layout();
    ASSERT_TRUE(flat);
    EXPECT_TRUE(viewport.sections().empty());
    scroll.jumpTo(0);
    commands.handle(HotKeyAction::nextSection);
    EXPECT_EQ(ReadingFrame::lineAtReadingLine(*flat, scroll.offset(), scroll.viewportHeight()),
              flat->characterLine()[static_cast<size_t>(plain.indexOf("Second"))]);
    commands.handle(HotKeyAction::nextSection);
    EXPECT_EQ(ReadingFrame::lineAtReadingLine(*flat, scroll.offset(), scroll.viewportHeight()),
              flat->characterLine()[static_cast<size_t>(plain.indexOf("Third"))]);
    commands.handle(HotKeyAction::previousSection);
    commands.handle(HotKeyAction::previousSection);
    EXPECT_EQ(ReadingFrame::lineAtReadingLine(*flat, scroll.offset(), scroll.viewportHeight()), 0);
    EXPECT_FALSE(viewport.jumpToSection(-1));
}

TEST_F(SessionFixture, playFromTheTopCountsInAndPauseOrRestartResetIt) {
    store->create("Talk", "one two three four five six", true);
    session->viewport().setViewportSize(QSizeF(364, 150));
    auto clock = std::make_shared<FakeTickSource>();
    scroll.attach(clock);
    ASSERT_TRUE(prefs.countdownEnabled()); // on by default

    commands.handle(HotKeyAction::playPause);
    EXPECT_TRUE(scroll.isPlaying()); // listening already, for voice follow
    EXPECT_EQ(scroll.countdownNumber(), 3);
    clock->frame(0.5);
    EXPECT_EQ(scroll.offset(), 0);
    EXPECT_EQ(scroll.session().elapsed(), 0);
    clock->frame(0.5);
    EXPECT_EQ(scroll.countdownNumber(), 2);
    // Pause cancels it; Play from the top starts it again.
    commands.handle(HotKeyAction::playPause);
    EXPECT_EQ(scroll.countdownNumber(), 0);
    commands.handle(HotKeyAction::playPause);
    EXPECT_EQ(scroll.countdownNumber(), 3);
    for (int i = 0; i < 3; ++i)
        clock->frame(0.8);
    EXPECT_EQ(scroll.countdownNumber(), 0);
    EXPECT_FALSE(scroll.isCountingDown());
    clock->frame(0.5);
    EXPECT_GT(scroll.offset(), 0);

    // Resuming in the middle starts at once.
    commands.handle(HotKeyAction::playPause);
    commands.handle(HotKeyAction::playPause);
    EXPECT_EQ(scroll.countdownNumber(), 0);
    // Restart while playing counts in again from the top.
    commands.handle(HotKeyAction::restart);
    EXPECT_EQ(scroll.offset(), 0);
    EXPECT_EQ(scroll.countdownNumber(), 3);
    // Switched off, Play from the top moves at once.
    commands.handle(HotKeyAction::playPause);
    prefs.setCountdownEnabled(false);
    scroll.restart();
    commands.handle(HotKeyAction::playPause);
    EXPECT_EQ(scroll.countdownNumber(), 0);
}

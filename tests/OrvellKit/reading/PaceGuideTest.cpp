#include "reading/PaceGuide.h"
#include "library/ScriptStore.h"
#include "pace/RhythmCache.h"
#include "playback/ScrollEngine.h"
#include "reading/LibrarySelection.h"
#include "settings/ReadingPreferences.h"
#include "settings/SettingsStore.h"

#include "support/FakeTickSource.h"
#include "support/ManualScheduler.h"
#include "support/QtPrinters.h"

#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct GuideFixture : ::testing::Test {
    QTemporaryDir dir;
    ManualScheduler clock;
    std::unique_ptr<SettingsStore> settings = SettingsStore::inMemory();
    ReadingPreferences prefs{*settings};
    ScrollEngine scroll{150};
    std::shared_ptr<FakeTickSource> ticks = std::make_shared<FakeTickSource>();
    ScriptStore store{dir.filePath("lib"), {false, {}, &clock, {}}};
    LibrarySelection selection{store};
    RhythmCache cache;
    PaceGuide guide{clock};
    std::vector<std::pair<QString, std::function<void(std::optional<std::vector<WordRhythm>>)>>>
        requests;
    int followWrites = 0;

    void SetUp() override {
        scroll.attach(ticks);
        scroll.setContentHeight(10000);
        guide.setResolveVoice([](const QString &, const QString &) {
            return std::optional<RhythmVoice>({"test/voice", "Test Voice", "en"});
        });
        guide.setMeasure([this](const QString &text, const QString &,
                                std::function<void(std::optional<std::vector<WordRhythm>>)> reply) {
            requests.emplace_back(text, std::move(reply));
        });
        QObject::connect(&scroll, &ScrollEngine::followTargetChanged, [this] { ++followWrites; });
        guide.setViewportWidth(364);
        guide.attach(prefs, scroll, selection, cache);
    }

    void selectScript(const QString &body, std::optional<double> target = std::nullopt) {
        const Script s = store.create("S", body, true);
        store.setTarget(target, s.id);
    }
};

} // namespace

TEST_F(GuideFixture, offItDoesNothingAndAScriptWithoutWordsHasNoSchedule) {
    selectScript("Hello there, friends.");
    EXPECT_FALSE(guide.isActive());
    EXPECT_EQ(guide.layout(), nullptr);
    prefs.setPaceGuideEnabled(true);
    ASSERT_NE(guide.layout(), nullptr);
    selectScript(" ... ");
    EXPECT_EQ(guide.targetSeconds(), 0);
    EXPECT_TRUE(guide.schedule().wordSlots.empty());
    EXPECT_EQ(guide.glowFront(), 0);
    scroll.play();
    ticks->frame(0.05);
    EXPECT_EQ(guide.clock(), 0);
    EXPECT_EQ(guide.rhythmState().kind, PaceGuide::RhythmState::Kind::idle);
}

TEST_F(GuideFixture, targetsAreKeptInsideTheAllowedRange) {
    prefs.setPaceGuideEnabled(true);
    QStringList words;
    for (int i = 0; i < 140; ++i)
        words << "word";
    selectScript(words.join(' '));
    EXPECT_DOUBLE_EQ(guide.targetSeconds(), 60);
    store.setTarget(10.0, *store.selectedID());
    EXPECT_EQ(guide.targetSeconds(), 50);
    EXPECT_NEAR(guide.schedule().total, 50, 1e-9);
    EXPECT_EQ(PaceGuide::format(75.4), "1:15");
}

TEST_F(GuideFixture, theLightFollowsTheClockAndTheScriptEndsWithTheSchedule) {
    prefs.setPaceGuideEnabled(true);
    selectScript("Hello there, friends. Welcome to the launch.");
    const PaceSchedule &s = guide.schedule();
    ASSERT_GT(s.total, 0);
    scroll.play();
    // Into the pause after "there,": the light rests, the next word is marked.
    const auto &there = s.wordSlots[1];
    ticks->frame(std::min(0.1, (there.end + there.pauseEnd) / 2));
    while (guide.clock() < (there.end + there.pauseEnd) / 2)
        ticks->frame(std::min(0.1, (there.end + there.pauseEnd) / 2 - guide.clock()));
    EXPECT_EQ(guide.glowFront(), there.to);
    EXPECT_EQ(guide.lookaheadEnd(), s.wordSlots[2].to);
    ASSERT_TRUE(scroll.followTarget());

    // Same word, no force: no new follow target.
    const int writes = followWrites;
    ticks->frame(0.001);
    EXPECT_EQ(followWrites, writes);

    while (scroll.isPlaying())
        ticks->frame(0.1);
    EXPECT_EQ(guide.clock(), s.total);
    EXPECT_EQ(guide.glowFront(), s.wordSlots.back().to);

    // Switching off while driving the scroll clears the target once.
    const int before = followWrites;
    prefs.setPaceGuideEnabled(false);
    EXPECT_FALSE(scroll.followTarget());
    EXPECT_EQ(followWrites, before + 1);
}

TEST_F(GuideFixture, switchedOnInTheMiddleItTakesUpFromTheLineBeingRead) {
    QStringList lines;
    for (int i = 0; i < 60; ++i)
        lines << QString("line %1 says something the reader will say aloud.").arg(i);
    selectScript(lines.join('\n'));
    // The scroll's height is the laid-out script's, as on the island.
    prefs.setPaceGuideEnabled(true);
    ASSERT_NE(guide.layout(), nullptr);
    const double height = guide.layout()->height();
    prefs.setPaceGuideEnabled(false);
    scroll.setContentHeight(height);
    // Read a while at the speed, then the guide goes on.
    scroll.setOffset(1200);
    prefs.setPaceGuideEnabled(true);
    ASSERT_GT(guide.schedule().total, 0);
    EXPECT_GT(guide.clock(), guide.schedule().total / 10) << "the guide started from the top";
    ASSERT_TRUE(scroll.followTarget());
    EXPECT_NEAR(*scroll.followTarget(), 1200, 100) << "the island would run back to the top";
}

TEST_F(GuideFixture, changingTheStyleKeepsTheShareOfProgress) {
    prefs.setPaceGuideEnabled(true);
    selectScript("One, two. Three, four.\n\nFive six seven eight nine ten.");
    scroll.play();
    for (int i = 0; i < 20; ++i)
        ticks->frame(0.1);
    const double share = guide.clock() / guide.schedule().total;
    prefs.setPacePauseStyle(PauseStyle::generous);
    EXPECT_NEAR(guide.clock() / guide.schedule().total, share, 1e-9);
    scroll.restart();
    EXPECT_EQ(guide.clock(), 0);
}

TEST_F(GuideFixture, rhythmsAreMeasuredOnceCachedAndStaleOnesDropped) {
    prefs.setPaceGuideEnabled(true);
    selectScript("Alpha beta gamma");
    EXPECT_EQ(guide.rhythmState().kind, PaceGuide::RhythmState::Kind::measuring);
    EXPECT_EQ(guide.rhythmState().text(),
              QString::fromUtf8("Listening to the natural rhythm\u2026"));
    EXPECT_TRUE(requests.empty());
    clock.advance(0.8);
    ASSERT_EQ(requests.size(), 1u);
    requests[0].second(std::vector<WordRhythm>{{0.5, 0.1}, {0.25, 0.1}, {0.25, 0}});
    EXPECT_EQ(guide.rhythmState().text(), "Timed from Test Voice (en)");
    ASSERT_TRUE(guide.rhythm());
    const auto &timed = guide.schedule().wordSlots;
    EXPECT_NEAR((timed[0].end - timed[0].start) / (timed[1].end - timed[1].start), 2, 1e-9);
    EXPECT_EQ(cache.rhythm(RhythmCache::key("Alpha beta gamma", "test/voice"))->size(), 3u);

    // The same text again is a cache hit: ready at once, nothing measured.
    selectScript("Other words here");
    clock.advance(0.8);
    selectScript("Alpha beta gamma");
    EXPECT_EQ(guide.rhythmState().kind, PaceGuide::RhythmState::Kind::ready);

    // A measurement that finishes after the text changed is dropped.
    ASSERT_EQ(requests.size(), 2u);
    requests[1].second(std::vector<WordRhythm>(3, {9, 9}));
    EXPECT_EQ(guide.rhythm()->front().speak, 0.5);

    // Quick successive edits start only the last measurement; a failure is "unavailable".
    store.updateBody("First edit", *store.selectedID());
    store.updateBody("Second edit now", *store.selectedID());
    clock.advance(0.8);
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[2].first, "Second edit now");
    requests[2].second(std::nullopt);
    EXPECT_EQ(guide.rhythmState().kind, PaceGuide::RhythmState::Kind::unavailable);
    EXPECT_FALSE(guide.schedule().wordSlots.empty()); // the estimate carries on
}

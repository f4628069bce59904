#include "pace/PaceSchedule.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <numeric>

namespace {

ScriptWords words(const QString &text) {
    return ScriptWords(text);
}

QString repeatedWords(int n) {
    QStringList list;
    for (int i = 0; i < n; ++i)
        list << "word";
    return list.join(' ');
}

} // namespace

TEST(PaceSchedule, gapsClassifyByTheirPunctuation) {
    EXPECT_EQ(PaceSchedule::pauseKind(u", \n"), PauseKind::paragraph);
    EXPECT_EQ(PaceSchedule::pauseKind(u"\u2026 "), PauseKind::sentence);
    EXPECT_EQ(PaceSchedule::pauseKind(u" \u2014 "), PauseKind::clause);
    EXPECT_EQ(PaceSchedule::pauseKind(u" - "), PauseKind::clause);
    EXPECT_EQ(PaceSchedule::pauseKind(u"-"), PauseKind::none);
    EXPECT_EQ(PaceSchedule::pauseKind(u", "), PauseKind::comma);
    EXPECT_EQ(PaceSchedule::pauseKind(u""), PauseKind::none);
    const auto kinds = PaceSchedule::gapKinds(words("well-known fact. Next"));
    EXPECT_EQ(kinds, (std::vector<PauseKind>{PauseKind::none, PauseKind::none, PauseKind::sentence,
                                             PauseKind::none}));
    EXPECT_EQ(PaceSchedule::gapKinds(words("well - known"))[0], PauseKind::clause);
    EXPECT_EQ(PauseStyles::seconds(PauseStyle::generous, PauseKind::paragraph), 2.0);
    EXPECT_EQ(PauseStyles::voiceScale(PauseStyle::subtle), 0.7);
}

TEST(PaceSchedule, naturalTimeAndTheAllowedRange) {
    const ScriptWords none = words("");
    EXPECT_EQ(PaceSchedule::naturalSeconds(none, PauseStyle::natural, std::nullopt), 0);
    EXPECT_EQ(PaceSchedule::allowedRange(none, PauseStyle::natural, std::nullopt),
              std::make_pair(0.0, 0.0));
    EXPECT_EQ(PaceSchedule::clampTarget(99, none, PauseStyle::natural, std::nullopt), 0);

    const ScriptWords w = words(repeatedWords(140));
    EXPECT_DOUBLE_EQ(PaceSchedule::naturalSeconds(w, PauseStyle::natural, std::nullopt), 60);
    EXPECT_EQ(PaceSchedule::allowedRange(w, PauseStyle::natural, std::nullopt),
              std::make_pair(50.0, 76.0));
    EXPECT_EQ(PaceSchedule::clampTarget(10, w, PauseStyle::natural, std::nullopt), 50);
    EXPECT_EQ(PaceSchedule::clampTarget(100, w, PauseStyle::natural, std::nullopt), 76);
    EXPECT_EQ(PaceSchedule::clampTarget(61.5, w, PauseStyle::natural, std::nullopt), 61.5);
}

TEST(PaceSchedule, estimateSharesTheTargetAndCapsThePauses) {
    const ScriptWords w = words("Hello, world");
    EXPECT_TRUE(PaceSchedule::estimate(w, PauseStyle::natural, 0).wordSlots.empty());
    const PaceSchedule s = PaceSchedule::estimate(w, PauseStyle::natural, 10);
    ASSERT_EQ(s.wordSlots.size(), 2u);
    EXPECT_EQ(s.wordSlots[0].pause, PauseKind::comma);
    EXPECT_EQ(s.wordSlots[1].pause, PauseKind::none);
    EXPECT_DOUBLE_EQ(s.wordSlots[0].pauseEnd - s.wordSlots[0].end, 0.3); // under the 35 % cap
    EXPECT_DOUBLE_EQ(s.wordSlots[1].start, s.wordSlots[0].pauseEnd);
    EXPECT_NEAR(s.total, 10, 1e-9);
    EXPECT_EQ(s.wordSlots[1].from, 7);
    EXPECT_EQ(s.wordSlots[1].to, 12);

    // A short target squeezes the pauses to 35 % of it.
    const ScriptWords para = words("One.\n\nTwo.\n\nThree.");
    const PaceSchedule tight = PaceSchedule::estimate(para, PauseStyle::generous, 2);
    double pauses = 0;
    for (const auto &slot : tight.wordSlots)
        pauses += slot.pauseEnd - slot.end;
    EXPECT_NEAR(pauses, 0.7, 1e-9);
}

TEST(PaceSchedule, measuredKeepsTheVoicesProportionsAndFallsBack) {
    const ScriptWords w = words("Short, considerable word");
    const std::vector<WordRhythm> rhythm = {{0.2, 0.3}, {0.8, 0.05}, {0.01, 0}};
    const PaceSchedule s = PaceSchedule::measured(w, rhythm, PauseStyle::natural, 10);
    ASSERT_EQ(s.wordSlots.size(), 3u);
    const auto length = [&](int i) { return s.wordSlots[i].end - s.wordSlots[i].start; };
    EXPECT_NEAR(length(1) / length(0), 4, 1e-9);
    // The last word is floored at 35 % of the median (0.2).
    EXPECT_NEAR(length(2) / length(0), 0.35, 1e-9);
    // The voice's 0.3 s pause meets the comma's 0.3 s; an inaudible 0.05 s counts as none.
    EXPECT_NEAR(s.wordSlots[0].pauseEnd - s.wordSlots[0].end, 0.3, 1e-9);
    EXPECT_NEAR(s.wordSlots[1].pauseEnd - s.wordSlots[1].end, 0, 1e-9);
    EXPECT_NEAR(s.total, 10, 1e-9);
    EXPECT_TRUE(PaceSchedule::measured(w, rhythm, PauseStyle::natural, -1).wordSlots.empty());

    const PaceSchedule estimate = PaceSchedule::estimate(w, PauseStyle::natural, 10);
    EXPECT_EQ(
        PaceSchedule::measured(w, std::vector<WordRhythm>(2, {0.3, 0}), PauseStyle::natural, 10),
        estimate);
    EXPECT_EQ(
        PaceSchedule::measured(w, std::vector<WordRhythm>(3, {0, 0.5}), PauseStyle::natural, 10),
        estimate);
    EXPECT_EQ(PaceSchedule::pauseSeconds(w, PauseStyle::natural, std::vector<WordRhythm>(2)), 0.3);
}

TEST(PaceSchedule, queriesSweepThroughWordsAndRestInPauses) {
    const PaceSchedule empty;
    EXPECT_EQ(empty.offset(5), 0);
    EXPECT_FALSE(empty.isPausing(0));

    const PaceSchedule s = PaceSchedule::estimate(words("Hello, world"), PauseStyle::natural, 10);
    const auto &first = s.wordSlots[0];
    EXPECT_EQ(s.slotIndex(-1), 0);
    EXPECT_EQ(s.offset(0), 0);
    EXPECT_NEAR(s.offset((first.start + first.end) / 2), 2.5, 1e-9);
    const double inPause = (first.end + first.pauseEnd) / 2;
    EXPECT_EQ(s.offset(inPause), first.to);
    EXPECT_TRUE(s.isPausing(inPause));
    EXPECT_EQ(s.slotIndex(first.pauseEnd), 1);
    EXPECT_FALSE(s.isPausing(s.total));
    EXPECT_EQ(s.offset(s.total + 5), 12);
}

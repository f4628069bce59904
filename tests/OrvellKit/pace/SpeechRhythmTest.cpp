#include "pace/SpeechRhythm.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// An envelope from a list of (seconds, loud?) stretches, 10 ms a frame.
std::vector<float> envelopeOf(std::initializer_list<std::pair<double, bool>> stretches) {
    std::vector<float> env;
    for (const auto &[seconds, loud] : stretches)
        for (long i = 0; i < std::lround(seconds / 0.01); ++i)
            env.push_back(loud ? 0.5f : 0.0f);
    return env;
}

} // namespace

TEST(SpeechRhythm, envelopeIsTheLoudnessOfEveryTenMilliseconds) {
    std::vector<float> samples(250, 0.5f);
    samples.resize(450, 0.0f);
    const auto env = SpeechRhythm::envelope(samples, 10000); // 100 samples a frame
    ASSERT_EQ(env.size(), 5u);
    EXPECT_FLOAT_EQ(env[0], 0.5f);
    EXPECT_FLOAT_EQ(env[2], std::sqrt(0.125f)); // half loud
    EXPECT_FLOAT_EQ(env[4], 0.0f);              // the last, shorter window
}

TEST(SpeechRhythm, silencesShorterThanThirtyMillisecondsAreIgnored) {
    const auto runs = SpeechRhythm::silentRuns(
        envelopeOf(
            {{0.1, true}, {0.02, false}, {0.1, true}, {0.03, false}, {0.1, true}, {0.05, false}}),
        0.005f);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_NEAR(runs[0].first, 0.22, 1e-9);
    EXPECT_NEAR(runs[0].second, 0.25, 1e-9);
    EXPECT_NEAR(runs[1].second, 0.40, 1e-9); // the end of the audio closes a run
}

TEST(SpeechRhythm, wordStartsComeFromMarkersOrAreInterpolated) {
    const ScriptWords words(QStringLiteral("alpha beta gamma delta"));
    // Two markers inside "alpha": only the first counts. "gamma" has none.
    const std::vector<SpeechRhythm::Marker> markers = {
        {0, 2, 0.1}, {2, 3, 0.3}, {6, 4, 0.5}, {17, 5, 1.5}};
    const auto starts = SpeechRhythm::wordStarts(words, markers, 2.0);
    ASSERT_EQ(starts.size(), 4u);
    EXPECT_DOUBLE_EQ(starts[0], 0.1);
    EXPECT_DOUBLE_EQ(starts[1], 0.5);
    EXPECT_DOUBLE_EQ(starts[2], 0.5 + (11.0 - 6) / (17 - 6) * 1.0);
    EXPECT_DOUBLE_EQ(starts[3], 1.5);
    // Markers out of order never make a start go backwards.
    const auto backwards = SpeechRhythm::wordStarts(words, {{0, 5, 1.0}, {6, 4, 0.2}}, 2.0);
    EXPECT_DOUBLE_EQ(backwards[1], 1.0);
}

TEST(SpeechRhythm, pausesAreTheSilencesBetweenWords) {
    const ScriptWords words(QStringLiteral("one two, three"));
    // one: 0.1–0.4, silence 0.4–0.5, two: 0.5–0.8, silence 0.8–1.1, three: 1.1–1.5.
    const auto env = envelopeOf({{0.1, false},
                                 {0.3, true},
                                 {0.1, false},
                                 {0.3, true},
                                 {0.3, false},
                                 {0.4, true},
                                 {0.1, false}});
    const std::vector<SpeechRhythm::Marker> markers = {{0, 3, 0.1}, {4, 3, 0.48}, {9, 5, 1.12}};
    const auto r = SpeechRhythm::rhythm(words, markers, env, 1.6);
    ASSERT_EQ(r.size(), 3u);
    EXPECT_NEAR(r[0].speak, 0.3, 1e-9);
    EXPECT_NEAR(r[0].pauseAfter, 0.1, 1e-9);
    EXPECT_NEAR(r[1].speak, 0.3, 1e-9);
    EXPECT_NEAR(r[1].pauseAfter, 0.3, 1e-9);
    EXPECT_NEAR(r[2].speak, 0.4, 1e-9);
    EXPECT_EQ(r[2].pauseAfter, 0);

    // A silence that starts more than 0.1 s after the next word's marker is not its boundary.
    const auto late =
        SpeechRhythm::rhythm(words, {{0, 3, 0.1}, {4, 3, 0.25}, {9, 5, 1.12}}, env, 1.6);
    EXPECT_NEAR(late[0].speak, 0.15, 1e-9);
    EXPECT_EQ(late[0].pauseAfter, 0);

    EXPECT_TRUE(SpeechRhythm::rhythm(ScriptWords(QString()), markers, env, 1.6).empty());
    EXPECT_EQ(SpeechRhythm::fromRendering(words, {{0.1f}, 100, {}, {}, 0}), std::nullopt);
    EXPECT_EQ(SpeechRhythm::fromRendering(ScriptWords(QStringLiteral("...")), {}),
              std::vector<WordRhythm>());
}

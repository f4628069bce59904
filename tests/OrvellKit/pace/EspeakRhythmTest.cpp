#include "pace/EspeakRenderer.h"
#include "pace/RhythmVoice.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <map>
#include <numeric>

TEST(EspeakRhythm, pausesGrowWithThePunctuationAndAddUpToTheRendering) {
    ASSERT_TRUE(EspeakRenderer::isAvailable()) << "espeak-ng is needed for this test";
    const QString text = QStringLiteral(
        "We begin today, with a short story about a lighthouse keeper. She kept the light, "
        "and the light kept her. Every night the ships went by.\n\nYears later the lighthouse "
        "was sold, and the keeper moved to the town. She never missed the sea.");
    const ScriptWords words(text);
    const auto rendering = EspeakRenderer::render(text, "en-us", 60);
    ASSERT_TRUE(rendering);
    EXPECT_GE(rendering->markers.size(), words.words.size() * 3 / 4);
    const auto rhythm = SpeechRhythm::fromRendering(words, *rendering);
    ASSERT_TRUE(rhythm);
    ASSERT_EQ(rhythm->size(), words.words.size());

    // The mean pause after each kind of gap.
    std::map<PauseKind, std::pair<double, int>> pauses;
    const auto kinds = PaceSchedule::gapKinds(words);
    for (size_t i = 0; i + 1 < kinds.size(); ++i) {
        pauses[kinds[i]].first += (*rhythm)[i].pauseAfter;
        pauses[kinds[i]].second += 1;
    }
    const auto mean = [&](PauseKind k) { return pauses[k].first / pauses[k].second; };
    EXPECT_GT(mean(PauseKind::paragraph), mean(PauseKind::sentence));
    EXPECT_GT(mean(PauseKind::sentence), mean(PauseKind::comma));
    EXPECT_GT(mean(PauseKind::comma), mean(PauseKind::none));

    double total = 0;
    for (const WordRhythm &r : *rhythm)
        total += r.speak + r.pauseAfter;
    const double duration = rendering->samples.size() / rendering->sampleRate;
    EXPECT_NEAR(total, duration, 0.05 * duration);

    // Non-BMP characters shift code points and UTF-16 units apart; markers stay on the words.
    const QString emoji = QString::fromUtf8("\U0001F600 Hello there");
    const auto withEmoji = EspeakRenderer::render(emoji, "en-us", 30);
    ASSERT_TRUE(withEmoji);
    bool hello = false;
    for (const auto &m : withEmoji->markers)
        hello = hello || emoji.mid(m.location, 5) == "Hello";
    EXPECT_TRUE(hello);

    EXPECT_EQ(EspeakRenderer::measure("...", "en-us"), std::vector<WordRhythm>());
    EXPECT_FALSE(EspeakRenderer::render("Hello", "no-such-voice-xx", 10));
}

TEST(RhythmVoice, choosesAVoiceForTheScriptsLanguage) {
    ASSERT_FALSE(RhythmVoice::usable().empty());
    const QString german = QStringLiteral(
        "Guten Morgen zusammen, vielen Dank, dass Sie heute hier sind. Wir haben drei Dinge zu "
        "besprechen, und das erste ist der Termin.");
    EXPECT_EQ(RhythmVoice::languageOf(german), "de");
    const auto voice = RhythmVoice::automatic(german);
    ASSERT_TRUE(voice);
    EXPECT_TRUE(voice->language.startsWith("de"));
    EXPECT_EQ(RhythmVoice::displayName(*voice), voice->name + " (" + voice->language + ")");
    EXPECT_TRUE(RhythmVoice::choices(german).front().language.startsWith("de"));

    // A voice that is no longer installed falls back to the automatic choice.
    EXPECT_EQ(RhythmVoice::resolve("gone/xx", german), voice);
    const auto chosen = RhythmVoice::resolve("gmw/en-US", german);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->language, "en-us");
}

// Voice follow from sound to cursor: recordings made with espeak-ng, played
// through the real recogniser and controller on the recording's clock.
#include "pace/EspeakRenderer.h"
#include "pace/SpeechRhythm.h"
#include "reading/FollowReplay.h"
#include "text/ScriptWords.h"
#include "voice/AudioSource.h"
#include "voice/SpeechDecoder.h"

#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

QString keynote() {
    QFile f(qEnvironmentVariable("ORVELL_TEST_DATA") + "/voice/keynote.txt");
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return QString::fromUtf8(f.readAll()).trimmed();
}

// A recording pieced together from spoken passages and silences, with the
// time each script word ends.
struct Recording {
    QString voice = QStringLiteral("en-us");
    std::vector<float> audio;
    std::vector<double> scriptWordEnds;

    double seconds() const { return static_cast<double>(audio.size()) / AudioSource::sampleRate; }

    // `script` marks a passage of the script, as opposed to an ad-lib.
    void speak(const QString &text, bool script = true) {
        const auto rendering = EspeakRenderer::render(text, voice, 60);
        ASSERT_TRUE(rendering);
        const ScriptWords words(text);
        const double offset = seconds();
        if (script) {
            const auto rhythm = SpeechRhythm::fromRendering(words, *rendering);
            ASSERT_TRUE(rhythm);
            const double duration =
                static_cast<double>(rendering->samples.size()) / rendering->sampleRate;
            const auto starts = SpeechRhythm::wordStarts(words, rendering->markers, duration);
            for (size_t i = 0; i < starts.size(); ++i)
                scriptWordEnds.push_back(offset + starts[i] + (*rhythm)[i].speak);
        }
        AudioResampler resampler(static_cast<int>(rendering->sampleRate), 1);
        resampler.push(rendering->samples.data(), rendering->samples.size(), audio);
    }
    void pause(double seconds) {
        audio.resize(audio.size() + static_cast<size_t>(seconds * AudioSource::sampleRate), 0.0f);
    }

    // Script words said completely by a moment of the recording.
    int said(double t) const {
        return static_cast<int>(std::upper_bound(scriptWordEnds.begin(), scriptWordEnds.end(), t) -
                                scriptWordEnds.begin());
    }
};

// The cursor at a moment of the replay.
int cursorAt(const FollowReplay::Outcome &o, double t) {
    int cursor = 0;
    for (const auto &step : o.steps)
        if (step.seconds <= t + 1e-9)
            cursor = step.cursor;
    return cursor;
}

// The paragraphs of the keynote: the first two, then the rest.
std::pair<QString, QString> split(const QString &text, int paragraphs) {
    const QStringList all = text.split(QStringLiteral("\n\n"));
    return {all.mid(0, paragraphs).join(QStringLiteral("\n\n")),
            all.mid(paragraphs).join(QStringLiteral("\n\n"))};
}

class VoiceEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        if (!SpeechDecoder::isModelInstalled())
            GTEST_SKIP() << "the speech model is not installed";
    }
};

} // namespace

TEST_F(VoiceEndToEnd, aStraightReadingIsFollowedCloselyToTheEnd) {
    const QString script = keynote();
    Recording r;
    r.pause(0.5);
    r.speak(script);
    const int words = ScriptWords(script).count();
    ASSERT_EQ(static_cast<int>(r.scriptWordEnds.size()), words);

    const auto outcome = FollowReplay::run(script, r.audio);
    ASSERT_TRUE(outcome.error.isEmpty()) << outcome.error.toStdString();
    EXPECT_GE(outcome.cursor, static_cast<int>(0.97 * words)) << "of " << words;

    // Sampled every tenth of a second while the speaker reads.
    int close = 0, samples = 0, worst = 0;
    for (double t = r.scriptWordEnds.front(); t <= r.scriptWordEnds.back(); t += 0.1) {
        const int off = std::abs(cursorAt(outcome, t) - r.said(t));
        close += off <= 3 ? 1 : 0;
        worst = std::max(worst, off);
        ++samples;
    }
    EXPECT_GE(close, 0.9 * samples)
        << close << " of " << samples << " within 3 words; worst " << worst;
}

TEST_F(VoiceEndToEnd, adLibsDoNotPullTheCursorAhead) {
    const auto [first, rest] = split(keynote(), 2);
    Recording r;
    r.speak(first);
    const double adLibFrom = r.seconds();
    r.speak(QStringLiteral("Before I go on, let me just say how happy I am to see so many of "
                           "you here. Honestly, I did not expect this at all."),
            false);
    const double adLibTo = r.seconds();
    r.speak(rest);

    const auto outcome = FollowReplay::run(first + QStringLiteral("\n\n") + rest, r.audio);
    ASSERT_TRUE(outcome.error.isEmpty()) << outcome.error.toStdString();
    const int before = ScriptWords(first).count();
    const int atAdLib = cursorAt(outcome, adLibFrom + 0.5);
    EXPECT_GE(atAdLib, before - 3);
    for (double t = adLibFrom; t <= adLibTo; t += 0.1)
        EXPECT_LE(cursorAt(outcome, t), before + 5) << "at " << t << " s";
    // And the reading is picked up again after it.
    EXPECT_GE(outcome.cursor, static_cast<int>(0.95 * outcome.words));
}

TEST_F(VoiceEndToEnd, aLongPauseLeavesTheGlowWaiting) {
    const auto [first, rest] = split(keynote(), 1);
    Recording r;
    r.speak(first);
    const double pauseFrom = r.seconds();
    r.pause(4);
    const double pauseTo = r.seconds();
    r.speak(rest.section(QStringLiteral("\n\n"), 0, 0));

    const auto outcome = FollowReplay::run(first + QStringLiteral("\n\n") + rest, r.audio);
    ASSERT_TRUE(outcome.error.isEmpty()) << outcome.error.toStdString();
    const auto glowAt = [&](double t) {
        double glow = 0;
        for (const auto &[at, position] : outcome.glow)
            if (at <= t + 1e-9)
                glow = position;
        return glow;
    };
    // Once the last results are in, neither the cursor nor the glow moves
    // until the speaker goes on.
    const double settled = pauseFrom + 1.5;
    EXPECT_EQ(cursorAt(outcome, settled), cursorAt(outcome, pauseTo));
    EXPECT_EQ(glowAt(settled), glowAt(pauseTo));
    EXPECT_GE(cursorAt(outcome, pauseTo), ScriptWords(first).count() - 2);
    EXPECT_LE(cursorAt(outcome, pauseTo), ScriptWords(first).count());
    // The glow stops at the end of the word after the last one said.
    EXPECT_LE(glowAt(pauseTo), first.size() + 2 + 12);
    EXPECT_GT(outcome.cursor, cursorAt(outcome, pauseTo));
}

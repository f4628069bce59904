// Voice follow on readings from the corpus, by espeak-ng and flite voices,
// through the real recogniser: readings where the script repeats itself, a
// sentence said again and a paragraph left out. The cursor must keep up,
// find a reader who skipped, and never run ahead of what was said.
#include "ReadingCorpus.h"
#include "voice/SpeechDecoder.h"

#include <gtest/gtest.h>

namespace {

ReadingCorpus::Case corpusCase(const QString &script, const QString &name, const QString &voice) {
    for (const auto &c : ReadingCorpus::all())
        if (c.script == script && c.name == name && c.voice.name == voice)
            return c;
    ADD_FAILURE() << "no corpus case " << script.toStdString() << "/" << name.toStdString();
    return {};
}

struct Followed {
    ReadingCorpus::Reading reading;
    ReadingCorpus::Score score;
};

Followed follow(const ReadingCorpus::Case &c) {
    Followed f;
    f.reading = ReadingCorpus::synthesize(c);
    EXPECT_TRUE(f.reading.error.isEmpty()) << f.reading.error.toStdString();
    const auto outcome = FollowReplay::run(ReadingCorpus::scriptText(c.script), f.reading.audio);
    EXPECT_TRUE(outcome.error.isEmpty()) << outcome.error.toStdString();
    f.score = ReadingCorpus::score(f.reading, outcome);
    return f;
}

class VoiceFollowCorpus : public ::testing::Test {
protected:
    void SetUp() override {
        if (!SpeechDecoder::isModelInstalled())
            GTEST_SKIP() << "the speech model is not installed";
    }
};

} // namespace

TEST_F(VoiceFollowCorpus, repeatedPhrasesAndRetakesNeverPullTheCursorAhead) {
    // Each of these ran more than five words ahead of the reader at least once
    // when the strongest match in the window won.
    const std::vector<ReadingCorpus::Case> cases = {
        corpusCase("checklist", "straight", "en-us"),
        corpusCase("toast", "straight", "slt"),
        corpusCase("story", "retakes", "slt"),
    };
    for (const auto &c : cases) {
        SCOPED_TRACE((c.script + '/' + c.name + '/' + c.voice.name).toStdString());
        const auto f = follow(c);
        EXPECT_EQ(f.score.jumpsAhead, 0) << "up to " << f.score.mostAhead << " words ahead";
        EXPECT_LE(f.score.mostAhead, 5);
        EXPECT_GE(f.score.reached, 0.97);
        // espeak-ng's sound depends slightly on what it said before, so the
        // closeness has some room.
        EXPECT_GE(f.score.within3, 0.7);
    }
}

TEST_F(VoiceFollowCorpus, aReaderWhoSkipsAParagraphIsFoundWithinThreeSeconds) {
    const auto f = follow(corpusCase("checklist", "skip", "rms"));
    EXPECT_LE(f.score.foundAfterSkip, 3.0);
    EXPECT_EQ(f.score.jumpsAhead, 0);
    EXPECT_GE(f.score.reached, 0.97);
}

TEST_F(VoiceFollowCorpus, cuesAndHeadingsAreNeverWaitedFor) {
    // The toast with headings and bracketed cues, read as a speaker reads
    // it: the cursor passes every cue and heading as soon as the words after
    // them are heard, and is never left behind longer than on the plain toast.
    for (const QString &voice : {QStringLiteral("slt"), QStringLiteral("en-us+f2")}) {
        SCOPED_TRACE(voice.toStdString());
        const auto cued = follow(corpusCase("cued", "straight", voice));
        const auto plain = follow(corpusCase("toast", "straight", voice));
        EXPECT_GE(cued.score.reached, 0.97);
        EXPECT_EQ(cued.score.jumpsAhead, 0);
        EXPECT_LE(cued.score.longestStuck, plain.score.longestStuck + 1.0);
        EXPECT_GE(cued.score.within3, plain.score.within3 - 0.05);
    }
}

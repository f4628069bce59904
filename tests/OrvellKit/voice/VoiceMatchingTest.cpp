#include "voice/GlowFront.h"
#include "voice/SpokenNumbers.h"
#include "voice/UtteranceGate.h"
#include "voice/VoiceMatcher.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

VoiceMatcher matcher(const QString &text) {
    return VoiceMatcher(ScriptWords(text));
}

} // namespace

TEST(VoiceMatcher, followsTheReaderWordByWordAndNeverBack) {
    VoiceMatcher m = matcher("the quick brown fox jumps");
    EXPECT_TRUE(m.ingest({"the"}));
    EXPECT_EQ(m.cursor, 1);
    EXPECT_TRUE(m.ingest({"the", "quick"}));
    EXPECT_EQ(m.cursor, 2);
    EXPECT_FALSE(m.ingest({"the", "quick"}));
    EXPECT_FALSE(m.ingest({"", ""}));
    EXPECT_EQ(m.cursor, 2);
}

TEST(VoiceMatcher, shortWordsCannotJumpFarStrongOnesCan) {
    VoiceMatcher weak = matcher("the quick brown fox jumps");
    EXPECT_FALSE(weak.ingest({"fox"})); // advance 4 on one weak word
    EXPECT_EQ(weak.cursor, 0);
    VoiceMatcher strong = matcher("the quick brown fox jumps");
    EXPECT_TRUE(strong.ingest({"brown"})); // advance 3 on a strong word
    EXPECT_EQ(strong.cursor, 3);

    // A jump of four to eight needs two aligned words, one of them strong; a
    // longer one two strong ones.
    const QString colours = "one two six ten yellow blue green orange red purple";
    VoiceMatcher jump = matcher(colours);
    EXPECT_FALSE(jump.ingest({"yellow"}));
    EXPECT_TRUE(jump.ingest({"ten", "yellow"}));
    EXPECT_EQ(jump.cursor, 5);
    VoiceMatcher far = matcher(colours);
    EXPECT_FALSE(far.ingest({"green"}));
    EXPECT_FALSE(far.ingest({"ten", "yellow", "red"}));
    EXPECT_TRUE(far.ingest({"blue", "green"}));
    EXPECT_EQ(far.cursor, 7);
    // A recogniser closing an utterance with "… to the girl" is not the
    // reader nine words on: three words line up, but one of them strong.
    VoiceMatcher guessed = matcher("one two six ten yellow blue to the girl purple");
    EXPECT_FALSE(guessed.ingest({"the", "to", "the", "girl"}));
    EXPECT_EQ(guessed.cursor, 0);
}

TEST(VoiceMatcher, toleratesNearMissesSkipsAndExtraWords) {
    EXPECT_FALSE(VoiceMatcher::similar("jumped", "jumps"));
    EXPECT_TRUE(VoiceMatcher::similar("jumpss", "jumps"));
    EXPECT_TRUE(VoiceMatcher::similar("reading", "readings"));
    EXPECT_FALSE(VoiceMatcher::similar("cat", "cats"));
    EXPECT_EQ(VoiceMatcher::editDistance({"k", "i", "t"}, {}), 3);
    EXPECT_EQ(VoiceMatcher::editDistance(VoiceMatcher::characters("kitten"),
                                         VoiceMatcher::characters("sitting")),
              3);
    EXPECT_TRUE(VoiceMatcher::isStrong(QString::fromUtf8("cafe\u0301")));
    EXPECT_FALSE(VoiceMatcher::isStrong(QString::fromUtf8("e\u0301te\u0301")));

    // A skipped script word and an extra heard word still align.
    VoiceMatcher skipped = matcher("we will launch the product tomorrow morning");
    EXPECT_TRUE(skipped.ingest({"we", "launch", "the", "product"}));
    EXPECT_EQ(skipped.cursor, 5);
    VoiceMatcher extra = matcher("we will launch the product tomorrow morning");
    EXPECT_TRUE(extra.ingest({"will", "launch", "um", "the", "product"}));
    EXPECT_EQ(extra.cursor, 5);
    // A word said instead of the expected one is no extra word: one strong word
    // cannot carry a jump of five.
    VoiceMatcher replaced = matcher("we will launch the product tomorrow morning");
    EXPECT_FALSE(replaced.ingest({"will", "launch", "um", "product"}));
}

TEST(VoiceMatcher, staysInsideItsWindowAndPrefersTheEarlierOfEqualPlaces) {
    QStringList words;
    for (int i = 0; i < 30; ++i)
        words << QStringLiteral("w%1").arg(i);
    words[16] = "lighthouse";
    VoiceMatcher m = matcher(words.join(' '));
    m.cursor = 20;
    EXPECT_FALSE(m.ingest({"lighthouse"})); // 16 is before 20 − 3

    VoiceMatcher twice = matcher("alpha bravo story delta echo golf story");
    twice.cursor = 4;
    EXPECT_FALSE(twice.ingest({"story"})); // at 2 and 5, equally near: the earlier stays
    EXPECT_EQ(twice.cursor, 4);
}

namespace {

// Distinct made-up short words ("qaa", "qab", ...), so only the phrases a
// test plants repeat or look alike.
QStringList fillerWords(int count) {
    QStringList words;
    for (int i = 0; i < count; ++i)
        words << QStringLiteral("q") + QChar(u'a' + i / 26) + QChar(u'a' + i % 26);
    return words;
}

} // namespace

TEST(VoiceMatcher, aWordNewToTheCurrentPlaceNeverCarriesALeap) {
    const QString text = "at ten we stop for water at noon we stop for lunch under the big oak "
                         "at three we stop for the day";
    // Read through "at noon we stop for"; the recogniser's next word, "the",
    // also ends "we stop for the" eleven words on.
    VoiceMatcher m = matcher(text);
    m.cursor = 11;
    EXPECT_FALSE(m.ingest({"noon", "we", "stop", "for", "the"}));
    EXPECT_EQ(m.cursor, 11);
    // The reader goes on and the cursor with them.
    EXPECT_TRUE(m.ingest({"we", "stop", "for", "lunch"}));
    EXPECT_EQ(m.cursor, 12);

    // A misheard word that fits far ahead: "and tell" after "the hoses and".
    VoiceMatcher hoses = matcher("check the rakes check the hoses and check the barrows if a "
                                 "tool is broken put it by the gate and tell me");
    hoses.cursor = 7;
    EXPECT_FALSE(hoses.ingest({"the", "hoses", "and", "tell"}));
    EXPECT_EQ(hoses.cursor, 7);

    // "team two will" heard where the reader says "team one will": every
    // strong word of it is where the cursor is, so it is not the next team
    // ten words on, also from a cursor lagging a word or two behind.
    const QString teams = "garden day checklist team one will clear the weeds along the north "
                          "fence team two will turn the soil in the raised beds";
    for (int at : {2, 3, 4}) {
        VoiceMatcher misheard = matcher(teams);
        misheard.cursor = at;
        misheard.ingest({"garden", "day", "team", "two", "will"});
        EXPECT_LE(misheard.cursor, 6) << at; // at most through "will", where the reader is
        // Reading on, the reader is followed from where they are.
        EXPECT_TRUE(misheard.ingest({"team", "two", "will", "clear", "the", "weeds"}));
        EXPECT_EQ(misheard.cursor, 9);
    }
}

TEST(VoiceMatcher, aPhraseThatFitsTwiceLetsTheCursorWait) {
    QStringList words = fillerWords(30);
    words[8] = "red", words[9] = "barn", words[10] = "door";
    words[14] = "red", words[15] = "barn", words[16] = "door";
    VoiceMatcher twice = matcher(words.join(' '));
    twice.cursor = 5;
    EXPECT_FALSE(twice.ingest({"red", "barn", "door"}));
    EXPECT_EQ(twice.cursor, 5);
    // Once the phrase is followed by words only one place has, it moves there.
    words[17] = "yard";
    VoiceMatcher resolved = matcher(words.join(' '));
    resolved.cursor = 5;
    EXPECT_FALSE(resolved.ingest({"red", "barn", "door"}));
    EXPECT_TRUE(resolved.ingest({"red", "barn", "door", "yard"}));
    EXPECT_EQ(resolved.cursor, 18);

    // The same phrase once in the window is a place worth moving to.
    words[14] = "blue", words[15] = "pond", words[16] = "gate";
    VoiceMatcher once = matcher(words.join(' '));
    once.cursor = 5;
    EXPECT_TRUE(once.ingest({"red", "barn", "door"}));
    EXPECT_EQ(once.cursor, 11);
}

TEST(VoiceMatcher, aSentenceSaidAgainNeverPullsTheCursorAhead) {
    const QString text = "at ten we stop for water and then we check the hoses near the gate "
                         "at three we stop for the day";
    VoiceMatcher m = matcher(text);
    m.cursor = 15; // "... near the gate"
    // The reader goes back to "at ten we stop for": it also fits "at three
    // we stop for" five words on, but it is the sentence already read.
    EXPECT_FALSE(m.ingest({"at", "ten", "we", "stop", "for"}));
    EXPECT_EQ(m.cursor, 15);
    EXPECT_FALSE(m.ingest({"we", "stop", "for", "water"}));
    EXPECT_EQ(m.cursor, 15);
    // Back where they were, they are followed on.
    EXPECT_TRUE(m.ingest({"near", "the", "gate", "at", "three"}));
    EXPECT_EQ(m.cursor, 17);
}

TEST(VoiceMatcher, aReaderWhoSkipsFarIsFoundByARunOnlyTheScriptHasOnce) {
    QStringList words = fillerWords(80);
    words[50] = "lantern", words[51] = "harbour", words[52] = "the", words[53] = "channel";
    VoiceMatcher m = matcher(words.join(' '));
    m.cursor = 5;
    // Three words are not enough; four in order are.
    EXPECT_FALSE(m.ingest({"lantern", "harbour", "the"}));
    EXPECT_TRUE(m.ingest({"lantern", "harbour", "the", "channel"}));
    EXPECT_EQ(m.cursor, 54);
    // Never back, however distinctive.
    words[10] = "morning", words[11] = "storm", words[12] = "came", words[13] = "early";
    VoiceMatcher back = matcher(words.join(' '));
    back.cursor = 54;
    EXPECT_FALSE(back.ingest({"morning", "storm", "came", "early"}));
    EXPECT_EQ(back.cursor, 54);

    // A run of short words, or one the script has twice, moves nothing.
    QStringList common = fillerWords(80);
    common[40] = "and", common[41] = "the", common[42] = "of", common[43] = "it";
    common[60] = "lantern", common[61] = "harbour", common[62] = "the", common[63] = "channel";
    common[70] = "lantern", common[71] = "harbour", common[72] = "the", common[73] = "channel";
    VoiceMatcher c = matcher(common.join(' '));
    c.cursor = 5;
    EXPECT_FALSE(c.ingest({"and", "the", "of", "it"}));
    EXPECT_FALSE(c.ingest({"lantern", "harbour", "the", "channel"}));
    EXPECT_EQ(c.cursor, 5);

    // The recogniser guessing the next word after words just read: "team
    // four will" is where the reader is; "team four will then" is further on.
    QStringList teams = fillerWords(80);
    const QStringList first = {"team", "four", "will", "plant"};
    const QStringList later = {"team", "four", "will", "then"};
    for (int i = 0; i < 4; ++i)
        teams[10 + i] = first[i], teams[60 + i] = later[i];
    VoiceMatcher t = matcher(teams.join(' '));
    t.cursor = 13;
    EXPECT_FALSE(t.ingest({"team", "four", "will", "then"}));
    EXPECT_EQ(t.cursor, 13);
    // Nor when the cursor ran a guessed word ahead of the reader.
    t.cursor = 14;
    EXPECT_FALSE(t.ingest({"team", "four", "will", "then"}));
    EXPECT_EQ(t.cursor, 14);
}

TEST(VoiceMatcher, aRetakeNeverCarriesTheCursorPastWhereTheReaderHadBeen) {
    // A run of words every script has is no proof of a place, even when the
    // script has it only once: "that there will have" eighty words on.
    QStringList words = fillerWords(100);
    words[70] = "that", words[71] = "there", words[72] = "will", words[73] = "have";
    VoiceMatcher common = matcher(words.join(' '));
    common.cursor = 10;
    EXPECT_FALSE(common.ingest({"that", "there", "will", "have"}));
    EXPECT_EQ(common.cursor, 10);

    // A sentence started again, a word dropped: "came back from market" fits
    // "we came back from the market" just read better than the same four
    // words far ahead.
    words = fillerWords(100);
    const QStringList sentence = {"we", "came", "back", "from", "the", "market"};
    for (int i = 0; i < sentence.size(); ++i)
        words[20 + i] = sentence[i];
    words[80] = "came", words[81] = "back", words[82] = "from", words[83] = "market";
    VoiceMatcher restarted = matcher(words.join(' '));
    restarted.cursor = 30;
    EXPECT_FALSE(restarted.ingest({"came", "back", "from", "market"}));
    EXPECT_EQ(restarted.cursor, 30);
    // Back where they were, the reader is followed at once.
    QStringList heard = {"came", "back", "from", "market"};
    for (int i = 26; i <= 31; ++i) {
        heard << words[i];
        restarted.ingest(heard);
    }
    EXPECT_EQ(restarted.cursor, 32);

    // While the reader goes over old words, a word of theirs that also comes
    // next does not creep the cursor on.
    words = fillerWords(60);
    const QStringList again = {"we", "stop", "for", "water"};
    for (int i = 0; i < again.size(); ++i)
        words[10 + i] = again[i];
    words[30] = "water";
    VoiceMatcher creep = matcher(words.join(' '));
    creep.cursor = 30;
    EXPECT_FALSE(creep.ingest({"we", "stop", "for", "water"}));
    EXPECT_EQ(creep.cursor, 30);
    // Said where it comes, the same word moves it.
    EXPECT_TRUE(creep.ingest({words[27], words[28], words[29], "water"}));
    EXPECT_EQ(creep.cursor, 31);

    // A sentence said twice, the recogniser guessing "the" after its "for":
    // "we stop for the" is the next sentence, but the reader is at "at noon
    // we stop for" again, which they had read.
    words = fillerWords(60);
    const QStringList noon = {"at",    "noon", "we",  "stop", "for", "lunch",
                              "under", "the",  "big", "oak",  "at",  "three",
                              "we",    "stop", "for", "the",  "day"};
    for (int i = 0; i < noon.size(); ++i)
        words[20 + i] = noon[i];
    VoiceMatcher twice = matcher(words.join(' '));
    twice.cursor = 30; // after "oak"
    const QStringList read = {"under", "the", "big", "oak", "at", "noon", "we", "stop", "for"};
    EXPECT_FALSE(twice.ingest(read));
    EXPECT_FALSE(twice.ingest(read + QStringList{"the"}));
    EXPECT_EQ(twice.cursor, 30);
    // Nor when the newest word is misheard as a strong word further on:
    // "plant the tool" said again, for "plant the tomatoes", is not "the
    // tools" six words on.
    VoiceMatcher plant = matcher("team four will plant the tomatoes the peppers and the beans "
                                 "before you start check the tools check the gloves");
    plant.cursor = 11; // after "beans"
    EXPECT_FALSE(plant.ingest({"the", "beans", "team", "four", "will", "plant", "the", "tool"}));
    // An empty result from the recogniser after it changes nothing.
    EXPECT_FALSE(
        plant.ingest({"the", "beans", "team", "four", "will", "plant", "the", "tool", ""}));
    EXPECT_EQ(plant.cursor, 11);
    // Reading on from where they had been, they are followed.
    EXPECT_TRUE(twice.ingest(
        read + QStringList{"lunch", "under", "the", "big", "oak", "at", "three", "we"}));
    EXPECT_EQ(twice.cursor, 33);
}

TEST(GlowFront, catchesUpFastButNeverPastWhatWasConfirmed) {
    GlowFront g;
    g.confirm(10, 40);
    g.advance(0.1);
    EXPECT_DOUBLE_EQ(g.position, 10); // max(28, 100) × 0.1, capped at 10
    EXPECT_DOUBLE_EQ(g.rate, 14);

    // Prediction runs at the rate while speech is fresh ...
    g.advance(0.1);
    EXPECT_DOUBLE_EQ(g.position, 10 + 14 * 0.1);
    for (int i = 0; i < 20; ++i)
        g.advance(0.05);
    // ... and waits from 0.6 s after the last result.
    EXPECT_NEAR(g.position, 10 + 14 * 0.45, 1e-9);
    g.heard();
    for (int i = 0; i < 10; ++i)
        g.advance(0.05);
    EXPECT_NEAR(g.position, 10 + 14 * 0.95, 1e-9);
    // It never runs past the next word's end.
    for (int i = 0; i < 100; ++i) {
        g.heard();
        g.advance(0.05);
    }
    EXPECT_EQ(g.position, 40);
}

TEST(GlowFront, theRateIsSmoothedAndBounded) {
    GlowFront g;
    g.confirm(0, 5);
    g.advance(0.1);
    g.confirm(20, 25); // 0.1 s apart: no sample
    EXPECT_DOUBLE_EQ(g.rate, 14);
    GlowFront h;
    h.confirm(0, 5);
    h.advance(1.0);
    h.confirm(20, 25);
    EXPECT_NEAR(h.rate, 0.7 * 14 + 0.3 * 20, 1e-12);
    for (int i = 0; i < 50; ++i) {
        h.advance(0.2);
        h.confirm(h.confirmed + 100, h.confirmed + 105);
    }
    EXPECT_EQ(h.rate, 30);
    for (int i = 0; i < 50; ++i) {
        h.advance(2.5);
        h.confirm(h.confirmed + 1, h.confirmed + 2);
    }
    EXPECT_EQ(h.rate, 6);
    // A confirmation that does not grow refreshes the reference, not the rate.
    h.advance(0.5);
    h.confirm(1, 2);
    EXPECT_EQ(h.rate, 6);
    EXPECT_DOUBLE_EQ(h.lastConfirm->offset, 1);
    h.reset();
    EXPECT_EQ(h.rate, 6);
    EXPECT_EQ(h.position, 0);
    EXPECT_FALSE(h.lastConfirm);
}

TEST(SpokenNumbers, numbersAreWrittenAsTheyAreSaid) {
    const auto said = [](const char *token) {
        return SpokenNumbers::words(QString::fromUtf8(token)).join(' ');
    };
    EXPECT_EQ(said("1962"), "nineteen sixty two");
    EXPECT_EQ(said("2026"), "twenty twenty six");
    EXPECT_EQ(said("1905"), "nineteen oh five");
    EXPECT_EQ(said("1900"), "nineteen hundred");
    EXPECT_EQ(said("2004"), "two thousand four");
    EXPECT_EQ(said("31,000"), "thirty one thousand");
    EXPECT_EQ(said("1,234,567"),
              "one million two hundred thirty four thousand five hundred sixty seven");
    EXPECT_EQ(said("3.14"), "three point one four");
    EXPECT_EQ(said("21st"), "twenty first");
    EXPECT_EQ(said("12th"), "twelfth");
    EXPECT_EQ(said("40th"), "fortieth");
    EXPECT_EQ(said("50%"), "fifty percent");
    EXPECT_EQ(said("$5"), "five dollars");
    EXPECT_EQ(said("€1"), "one euro");
    EXPECT_EQ(said("0"), "zero");
    EXPECT_EQ(said("12,34"), "");
    EXPECT_EQ(said("word"), "");
    EXPECT_EQ(said("1234567890123"), "");
}

namespace {

// Seconds of a tone at a loudness in dBFS (RMS), 16 kHz.
std::vector<float> tone(double seconds, double db) {
    const double amplitude = std::pow(10.0, db / 20) * std::sqrt(2.0);
    std::vector<float> out(static_cast<size_t>(seconds * 16000));
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<float>(amplitude * std::sin(i * 2 * M_PI * 220 / 16000));
    return out;
}

int closings(UtteranceGate &gate, std::initializer_list<std::pair<double, double>> parts) {
    int n = 0;
    for (const auto &[seconds, db] : parts) {
        const auto samples = tone(seconds, db);
        // Fed in 100 ms chunks, as the microphone delivers them.
        for (size_t at = 0; at < samples.size(); at += 1600)
            n +=
                gate.feed(samples.data() + at, std::min<size_t>(1600, samples.size() - at)) ? 1 : 0;
    }
    return n;
}

} // namespace

TEST(UtteranceGate, closesUtterancesAtPausesButNotAtShortGaps) {
    UtteranceGate gate;
    EXPECT_EQ(closings(gate, {{1.0, -70}, {1.0, -20}, {0.2, -70}, {1.0, -20}}), 0);
    EXPECT_TRUE(gate.inSpeech());
    EXPECT_EQ(closings(gate, {{0.5, -70}}), 1);
    EXPECT_FALSE(gate.inSpeech());
    EXPECT_EQ(closings(gate, {{2.0, -70}}), 0); // silence alone closes nothing
}

TEST(UtteranceGate, aNoisyRoomDoesNotHoldAnUtteranceOpen) {
    UtteranceGate gate;
    // Background noise at −35 dBFS, above the absolute quiet level.
    EXPECT_EQ(closings(gate, {{5.0, -35}}), 0);
    EXPECT_NEAR(gate.floorDb(), -35, 1);
    EXPECT_FALSE(gate.inSpeech());
    EXPECT_EQ(closings(gate, {{1.0, -15}, {0.6, -35}}), 1);
    EXPECT_EQ(closings(gate, {{1.0, -15}, {0.6, -35}}), 1);
}

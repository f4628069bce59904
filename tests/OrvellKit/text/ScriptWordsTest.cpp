#include "text/ScriptWords.h"
#include "pace/PaceSchedule.h"
#include "playback/ReadEstimate.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {
QStringList keysOf(const ScriptWords &w) {
    QStringList keys;
    for (const auto &word : w.words)
        keys << word.key;
    return keys;
}
} // namespace

TEST(ScriptWords, textWithoutWordsGivesNone) {
    EXPECT_EQ(ScriptWords(QString()).count(), 0);
    EXPECT_EQ(ScriptWords(QStringLiteral("  ... -- !? \n\t")).count(), 0);
    // Emoji are reported as segments but have no letters, so they are dropped.
    EXPECT_EQ(ScriptWords(QString::fromUtf8("\U0001F600 \u2014 \U0001F44D\U0001F3FD")).count(), 0);
}

TEST(ScriptWords, rangesCountUtf16Units) {
    const ScriptWords w(QString::fromUtf8("\U0001F600 hi"));
    ASSERT_EQ(w.count(), 1);
    EXPECT_EQ(w.words[0].location, 3);
    EXPECT_EQ(w.words[0].length, 2);

    const ScriptWords mixed(QString::fromUtf8("Caf\u00e9, \U0001D400BC and na\u0131ve."));
    for (const auto &word : mixed.words) {
        EXPECT_GE(word.location, 0);
        EXPECT_LE(word.end(), mixed.text.size());
    }
    EXPECT_EQ(keysOf(mixed), (QStringList{"cafe", "abc", "and", "naıve"}));
}

TEST(ScriptWords, keysFoldCaseAccentsWidthAndPunctuation) {
    EXPECT_EQ(ScriptWords::normalize(u"Café"), "cafe");
    EXPECT_EQ(ScriptWords::normalize(QString::fromUtf8("Cafe\u0301")), "cafe");
    EXPECT_EQ(ScriptWords::normalize(u"HELLO,"), "hello");
    EXPECT_EQ(ScriptWords::normalize(u"don't"), "dont");
    EXPECT_EQ(ScriptWords::normalize(u"\uFF11\uFF19\uFF16\uFF12"), "1962");
    EXPECT_EQ(ScriptWords::normalize(u"\uFF21\uFF22\uFF43"), "abc");
    EXPECT_EQ(ScriptWords::normalize(u"-"), "");
    EXPECT_EQ(ScriptWords::normalize(u"Stra\u00DFe"), "strasse");
    EXPECT_EQ(ScriptWords::normalize(u"\u00C5NGSTR\u00D6M"), "angstrom");
    EXPECT_EQ(ScriptWords::normalize(u"\uD55C\uAD6D\uC5B4"), u"\uD55C\uAD6D\uC5B4");
    EXPECT_EQ(ScriptWords::normalize(u"\u039F\u03B4\u03CC\u03C2"), u"\u03BF\u03B4\u03BF\u03C3");
}

TEST(ScriptWords, segmentsLikeAReaderWould) {
    const ScriptWords w(QStringLiteral("It's 9:30 - the year 1962, e.g. well-known.\nNext line"));
    QStringList pieces;
    for (const auto &word : w.words)
        pieces << w.text.mid(word.location, word.length);
    EXPECT_EQ(pieces, (QStringList{"It's", "9", "30", "the", "year", "1962", "e.g", "well", "known",
                                   "Next", "line"}));
    EXPECT_EQ(keysOf(w).at(0), "its");
    EXPECT_EQ(keysOf(w).at(6), "eg");

    // Scripts without spaces still split into words.
    const ScriptWords cjk(QString::fromUtf8("我们今天讨论三个问题"));
    EXPECT_GE(cjk.count(), 3);
    EXPECT_EQ(cjk.words.back().end(), cjk.text.size());
}

TEST(ScriptWords, heardKeysMatchScriptKeys) {
    const QString phrase = QStringLiteral("the QUICK brown Fox");
    const ScriptWords script(QStringLiteral("Now, the quick brown fox jumps."));
    const QStringList heard = ScriptWords::keys(phrase);
    ASSERT_EQ(heard.size(), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(heard.at(i), script.words[1 + i].key);
    EXPECT_EQ(ScriptWords(phrase), ScriptWords(phrase));
}

TEST(ScriptWords, cuesAndHeadingsAreNeitherWordsNorCountedNorPauses) {
    const QString text = "# Welcome\nThank you [pause] all.\n[look at camera.]\nLet us begin";
    const ScriptWords words(text);
    EXPECT_EQ(keysOf(words), (QStringList{"thank", "you", "all", "let", "us", "begin"}));
    // Words keep their places in the text.
    EXPECT_EQ(text.mid(words.words[2].location, 3), "all");
    EXPECT_EQ(ReadEstimate::wordCountOf(text), 6);
    // The setting off: brackets are read like any words (the heading is still one).
    EXPECT_EQ(ScriptWords(text, false).count(), 10);
    EXPECT_EQ(ReadEstimate::wordCountOf(text, false), 10);
    // "you [pause] all": no pause for the cue's own sake; the cue line
    // between paragraphs breaks them as before; its full stop is not a
    // sentence's end.
    const auto kinds = PaceSchedule::gapKinds(words);
    EXPECT_EQ(kinds[1], PauseKind::none);
    EXPECT_EQ(kinds[2], PauseKind::paragraph);
    const QString inline_ = "Look [nod.] here";
    EXPECT_EQ(PaceSchedule::gapKinds(ScriptWords(inline_))[0], PauseKind::none);
    // The blanked text the voice times keeps every position.
    const QString spoken = words.spokenText();
    EXPECT_EQ(spoken.size(), text.size());
    EXPECT_EQ(ScriptWords(spoken).words, words.words);
}

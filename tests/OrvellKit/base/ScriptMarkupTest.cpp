#include "base/ScriptMarkup.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

using SpanKind = ScriptMarkup::Span::Kind;

// Each span as "kind:text", in order.
QStringList spansOf(const QString &text, bool cues = true) {
    QStringList out;
    for (const auto &s : ScriptMarkup::parse(text, cues).spans) {
        const QString kind = s.kind == SpanKind::cue ? "cue" : s.kind == SpanKind::heading ? "h" : "esc";
        out << kind + QString::number(s.level) + ":" + text.mid(s.location, s.length);
    }
    return out;
}

} // namespace

TEST(ScriptMarkup, bracketsMakeCuesWhereTheyOpenAWordAndClose) {
    EXPECT_EQ(spansOf("Hello [smile] there"), QStringList{"cue0:[smile]"});
    EXPECT_EQ(spansOf("[pause]\nNext line"), QStringList{"cue0:[pause]"});
    // Nested: the outer pair is the cue.
    EXPECT_EQ(spansOf("Go [slide [5] now] on"), QStringList{"cue0:[slide [5] now]"});
    // Unclosed, stray or after a letter: text.
    EXPECT_EQ(spansOf("an [open bracket"), QStringList{});
    EXPECT_EQ(spansOf("a stray ] here"), QStringList{});
    EXPECT_EQ(spansOf("items[0] and f[x]"), QStringList{});
    // A cue ends with its line: an unclosed one does not swallow the next.
    EXPECT_EQ(spansOf("[open\nclosed]"), QStringList{});
    // After punctuation it opens: "(see [note])".
    EXPECT_EQ(spansOf("(see [note])"), QStringList{"cue0:[note]"});
    // Escaped brackets are text; the backslash is marked to be hidden.
    EXPECT_EQ(spansOf("costs \\[1] each"), QStringList{"esc0:\\"});
    EXPECT_EQ(spansOf("[keep \\] inside]"), QStringList{"cue0:[keep \\] inside]"});
    // Off: brackets are plain text.
    EXPECT_EQ(spansOf("Hello [smile] there", false), QStringList{});
    // Right to left: the same characters in logical order.
    const QString hebrew = QString::fromUtf8("[\u05d4\u05e4\u05e1\u05e7\u05d4] \u05e9\u05dc\u05d5\u05dd");
    EXPECT_EQ(spansOf(hebrew), QStringList{QString::fromUtf8("cue0:[\u05d4\u05e4\u05e1\u05e7\u05d4]")});
}

TEST(ScriptMarkup, linesStartingWithOneToThreeHashesAreHeadings) {
    const QString text = "# Opening\nWelcome.\n## Part two \n### \n#### Not one\n#hashtag\n  # Indented";
    EXPECT_EQ(spansOf(text), (QStringList{"h1:# Opening", "h2:## Part two ", "h3:### ",
                                          "h1:  # Indented"}));
    const auto headings = ScriptMarkup::parse(text).headings(text);
    ASSERT_EQ(headings.size(), 4u);
    EXPECT_EQ(headings[0].title, "Opening");
    EXPECT_EQ(headings[1].title, "Part two");
    EXPECT_EQ(headings[1].level, 2);
    EXPECT_EQ(headings[2].title, ""); // a heading without text is still a section
    EXPECT_EQ(headings[0].location, 0);
    EXPECT_EQ(text.mid(headings[1].location, 2), "##");
    // Brackets inside a heading are part of it, whatever the setting.
    EXPECT_EQ(spansOf("# Intro [5 min]", false), QStringList{"h1:# Intro [5 min]"});
}

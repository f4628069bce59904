#include "text/ScriptLayout.h"
#include "text/Typography.h"

#include <QTextLayout>

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

ScriptLayout layOut(const QString &text, double width = 364, double fontSize = 24,
                    double multiple = 5.0 / 3.0) {
    return ScriptLayout({text, width, fontSize, multiple}, ScriptWords(text));
}

QStringList lineTexts(const ScriptLayout &layout) {
    QStringList texts;
    for (const auto &line : layout.lines())
        texts << layout.key()
                     .text.mid(line.firstCharacter, line.endCharacter - line.firstCharacter)
                     .trimmed();
    return texts;
}

const QString paragraph = QStringLiteral(
    "Good morning, everyone. Thank you for joining us today. We have three things to cover, "
    "and the first one is the launch date.\nAfter that, questions.");

} // namespace

TEST(Typography, lineSpacingFollowsTheMultipleButNeverGoesNegative) {
    const double natural = Typography::naturalLineHeight(24);
    EXPECT_GT(natural, 24);
    EXPECT_LT(natural, 40);
    EXPECT_DOUBLE_EQ(Typography::lineSpacing(24, 5.0 / 3.0), 40 - natural);
    EXPECT_EQ(Typography::lineSpacing(24, 1.0), 0);
    EXPECT_EQ(Typography::scriptFont(24).family(), "Inter");
}

TEST(ScriptLayout, emptyTextHasNoLines) {
    const ScriptLayout layout = layOut(QString());
    EXPECT_TRUE(layout.lines().empty());
    EXPECT_EQ(layout.height(), 0);
    EXPECT_EQ(layout.midY(0), 0);
    EXPECT_EQ(layout.position(0), (ScriptLayout::Position{0, 0}));
}

TEST(ScriptLayout, breaksAtWordsCentresLinesAndHonoursNewlines) {
    const ScriptLayout layout = layOut(paragraph);
    const QStringList texts = lineTexts(layout);
    // Inter ships with the app, so these breaks hold on every machine.
    EXPECT_EQ(texts,
              (QStringList{"Good morning, everyone.", "Thank you for joining us today.",
                           "We have three things to cover,", "and the first one is the launch",
                           "date.", "After that, questions."}));
    for (size_t i = 0; i < layout.lines().size(); ++i) {
        const auto &line = layout.lines()[i];
        EXPECT_LE(line.maxX, 364 + 1e-6);
        // Qt places glyphs on a 1/64 grid.
        EXPECT_NEAR(line.minX, 364 - line.maxX, 1.0 / 32) << "line " << i << " is not centred";
        EXPECT_DOUBLE_EQ(line.top, i * 40.0);
        EXPECT_DOUBLE_EQ(line.bottom - line.top, 40.0);
        EXPECT_GT(line.midY, line.top);
        EXPECT_LT(line.midY, line.bottom);
    }
    EXPECT_DOUBLE_EQ(layout.height(), 40.0 * layout.lines().size());
}

TEST(ScriptLayout, perCharacterArraysRiseAlongEachLine) {
    const ScriptLayout layout = layOut(paragraph);
    const auto &caret = layout.caretX();
    const auto &lineOf = layout.characterLine();
    ASSERT_EQ(caret.size(), static_cast<size_t>(paragraph.size()));
    for (size_t c = 1; c < caret.size(); ++c) {
        ASSERT_GE(lineOf[c], lineOf[c - 1]);
        if (lineOf[c] == lineOf[c - 1]) {
            EXPECT_GE(caret[c], caret[c - 1]) << "at character " << c;
        }
    }
    const ScriptWords words(paragraph);
    for (int k = 0; k < words.count(); ++k)
        EXPECT_EQ(layout.wordLine()[k], lineOf[words.words[k].location]);
    const auto &first = layout.lines().front();
    EXPECT_DOUBLE_EQ(caret[0], first.minX);
}

TEST(ScriptLayout, positionInterpolatesWithinALineAndStopsAtItsEdge) {
    const ScriptLayout layout = layOut(paragraph);
    const auto &caret = layout.caretX();
    const auto p = layout.position(2.5);
    EXPECT_EQ(p.line, 0);
    EXPECT_DOUBLE_EQ(p.x, (caret[2] + caret[3]) / 2);

    // The last character of line 0 runs towards that line's right edge.
    const auto &line0 = layout.lines()[0];
    const int last = line0.endCharacter - 1;
    const auto atEnd = layout.position(last + 0.5);
    EXPECT_EQ(atEnd.line, 0);
    EXPECT_DOUBLE_EQ(atEnd.x, caret[last] + 0.5 * (line0.maxX - caret[last]));

    const auto past = layout.position(1e9);
    EXPECT_EQ(past.line, static_cast<int>(layout.lines().size()) - 1);
    EXPECT_DOUBLE_EQ(past.x, layout.lines().back().maxX);
}

TEST(ScriptLayout, tinyWidthsAndLongWordsStillLayOut) {
    const ScriptLayout narrow = layOut(QStringLiteral("one two"), 0);
    EXPECT_EQ(narrow.key().width, 0);
    EXPECT_GE(narrow.lines().size(), 2u);

    const QString longWord(200, QLatin1Char('m'));
    const ScriptLayout wrapped = layOut(longWord, 200);
    EXPECT_GT(wrapped.lines().size(), 1u);
    for (const auto &line : wrapped.lines())
        EXPECT_LE(line.maxX - line.minX, 200 + 1e-6);
}

TEST(ScriptLayout, spacingBelowNaturalHeightIsZeroNotNegative) {
    const ScriptLayout tight = layOut(paragraph, 364, 24, 1.0);
    const double natural = Typography::naturalLineHeight(24);
    ASSERT_GT(tight.lines().size(), 1u);
    EXPECT_DOUBLE_EQ(tight.lines()[1].top - tight.lines()[0].top, natural);
}

TEST(ScriptLayout, surrogatesAndLineEndsKeepTheLineEdge) {
    const QString text = QString::fromUtf8("A \U0001F600 b\r\nc");
    const ScriptLayout layout = layOut(text);
    ASSERT_EQ(layout.lines().size(), 2u);
    const auto &caret = layout.caretX();
    EXPECT_DOUBLE_EQ(caret[3], layout.lines()[0].maxX); // low surrogate
    EXPECT_DOUBLE_EQ(caret[6], layout.lines()[0].maxX); // \r
    EXPECT_EQ(layout.characterLine()[8], 1);
}

TEST(ReadingLine, followTargetPutsTheWordsLineOnTheReadingLine) {
    const ScriptLayout layout = layOut(paragraph);
    const double viewport = 160;
    const double t0 =
        ReadingLine::followTarget(0, layout, 24, 5.0 / 3.0, viewport, layout.height());
    EXPECT_DOUBLE_EQ(t0, layout.midY(0) + 0.38 * viewport - 20);

    // Word indices clamp, and a different measured height scales the line.
    const double last = ReadingLine::followTarget(10000, layout, 24, 5.0 / 3.0, viewport, 0);
    EXPECT_DOUBLE_EQ(last, layout.lines().back().midY + 0.38 * viewport - 20);
    EXPECT_DOUBLE_EQ(layout.midY(3, layout.height() * 2), layout.midY(3) * 2);
    EXPECT_EQ(layout.midY(-4), layout.midY(0));
}

TEST(ScriptLayout, blankLinesKeepTheirPlaceAndATrailingBreakAddsNoLine) {
    const QString text = QStringLiteral("One\n\nTwo\r\nThree\n");
    const ScriptLayout layout = layOut(text);
    ASSERT_EQ(layout.lines().size(), 4u);
    EXPECT_EQ(lineTexts(layout), (QStringList{"One", "", "Two", "Three"}));
    const auto &blank = layout.lines()[1];
    EXPECT_EQ(blank.minX, blank.maxX);
    EXPECT_DOUBLE_EQ(blank.top, 40);
    EXPECT_EQ(layout.lines().back().endCharacter, text.size());
    EXPECT_DOUBLE_EQ(layout.height(), 160);
    // Every character belongs to a line, breaks included.
    EXPECT_EQ(layout.characterLine()[3], 0);
    EXPECT_EQ(layout.characterLine()[4], 1);
    EXPECT_EQ(layout.characterLine()[9], 2);
}

TEST(ScriptLayout, caretsMatchQtsOwnCursorPositions) {
    const QString text =
        QStringLiteral("Fly to Vienna, AVA! Office: 1,250 km \u2014 \u201Cquoted\u201D text.");
    const ScriptLayout layout = layOut(text, 300);
    QTextLayout reference(text, Typography::scriptFont(24), Typography::layoutDevice());
    QTextOption option(Qt::AlignHCenter);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    reference.setTextOption(option);
    reference.beginLayout();
    for (QTextLine l = reference.createLine(); l.isValid(); l = reference.createLine())
        l.setLineWidth(300);
    reference.endLayout();
    ASSERT_EQ(reference.lineCount(), static_cast<int>(layout.lines().size()));
    for (int i = 0; i < reference.lineCount(); ++i) {
        const QTextLine line = reference.lineAt(i);
        int end = line.textStart() + line.textLength();
        while (end > line.textStart() && text.at(end - 1).isSpace())
            --end;
        for (int c = line.textStart(); c < end; ++c)
            EXPECT_NEAR(layout.caretX()[c], line.cursorToX(c), 1e-6) << "character " << c;
    }
}

TEST(ScriptLayout, longScriptsLaidOutInParallelMatchEachParagraphAlone) {
    QString text;
    for (int p = 0; p < 60; ++p)
        text += paragraph.left(40 + 2 * p) + QLatin1Char('\n');
    while (text.size() < 25000)
        text += text;
    const ScriptLayout whole = layOut(text);

    int start = 0;
    size_t lineIndex = 0;
    for (int p = 0; p < 60; ++p) {
        const int end = text.indexOf(QLatin1Char('\n'), start);
        const QString alone = text.mid(start, end - start);
        const ScriptLayout single = layOut(alone);
        for (size_t i = 0; i < single.lines().size(); ++i, ++lineIndex) {
            const auto &a = single.lines()[i];
            const auto &b = whole.lines()[lineIndex];
            ASSERT_EQ(a.firstCharacter + start, b.firstCharacter);
            EXPECT_DOUBLE_EQ(a.minX, b.minX);
            EXPECT_DOUBLE_EQ(a.top + whole.lines()[lineIndex - i].top, b.top);
        }
        for (int c = 0; c < alone.size(); ++c)
            ASSERT_EQ(single.caretX()[c], whole.caretX()[start + c]) << "paragraph " << p;
        start = end + 1;
    }
}

TEST(ScriptLayout, equalKeysShareOneLayoutWhileItIsHeld) {
    const QString text = QStringLiteral("Shared between the island and the guide.");
    const ScriptLayout::Key key{text, 364, 24, 5.0 / 3.0};
    auto first = ScriptLayout::shared(key, ScriptWords(text));
    EXPECT_EQ(ScriptLayout::shared(key, ScriptWords(text)), first);
    ScriptLayout::Key wider = key;
    wider.width = 400;
    EXPECT_NE(ScriptLayout::shared(wider, ScriptWords(text)), first);
}

TEST(ScriptLayout, anEditLaysOutLikeAFreshLayoutWhileReusingTheUntouchedParagraphs) {
    QString before;
    for (int p = 0; p < 12; ++p)
        before += QStringLiteral("Paragraph %1 with enough words to wrap over a few lines of the "
                                 "island, and then some more words.\n\n")
                      .arg(p);
    const ScriptLayout::Key key{before, 364, 24, 5.0 / 3.0};
    const ScriptLayout old(key, ScriptWords(before));
    for (const QString &after :
         {QString(before).insert(300, QStringLiteral(" inserted words here")),
          QString(before).remove(0, 40), before + QStringLiteral("A new last paragraph."),
          QString(before).replace(QStringLiteral("\n\n"), QStringLiteral("\n"))}) {
        const ScriptLayout::Key edited{after, 364, 24, 5.0 / 3.0};
        const ScriptWords words(after);
        const ScriptLayout reused(edited, words, &old);
        const ScriptLayout fresh(edited, words);
        EXPECT_EQ(reused.height(), fresh.height());
        ASSERT_EQ(reused.lines().size(), fresh.lines().size());
        for (size_t i = 0; i < fresh.lines().size(); ++i) {
            EXPECT_EQ(reused.lines()[i].firstCharacter, fresh.lines()[i].firstCharacter) << i;
            EXPECT_EQ(reused.lines()[i].endCharacter, fresh.lines()[i].endCharacter) << i;
            EXPECT_EQ(reused.lines()[i].top, fresh.lines()[i].top) << i;
            EXPECT_EQ(reused.lines()[i].minX, fresh.lines()[i].minX) << i;
        }
        EXPECT_EQ(reused.caretX(), fresh.caretX());
        EXPECT_EQ(reused.characterLine(), fresh.characterLine());
        EXPECT_EQ(reused.wordLine(), fresh.wordLine());
    }
}

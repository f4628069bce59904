#include "text/GlowMask.h"
#include "text/ScriptLayout.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

// "one two three\nfour five" at 364 points: two lines.
ScriptLayout twoLines() {
    const QString text = QStringLiteral("one two three\nfour five");
    return ScriptLayout({text, 364, 24, 5.0 / 3.0}, ScriptWords(text));
}

} // namespace

TEST(GlowMask, revealsSpokenLinesUpToTheFrontWithASoftEdge) {
    const ScriptLayout layout = twoLines();
    using GlowMask::Band;
    using Fill = GlowMask::Piece::Fill;
    // Nothing said yet: nothing lit, not even a soft edge.
    EXPECT_TRUE(GlowMask::pieces(layout, Band::spoken, 0, 0, 364, 80).empty());
    EXPECT_TRUE(GlowMask::pieces(layout, Band::lookahead, 5, 5, 364, 80).empty());

    // Front inside "five" (line 1): line 0 in full, line 1 up to the front, then a fade.
    const double front = 20.5;
    const auto spoken = GlowMask::pieces(layout, Band::spoken, front, front, 364, 80);
    ASSERT_EQ(spoken.size(), 3u);
    EXPECT_EQ(spoken[0], (GlowMask::Piece{QRectF(0, 0, 364, 40), Fill::solid}));
    const double x = layout.position(front).x;
    EXPECT_EQ(spoken[1], (GlowMask::Piece{QRectF(0, 40, x, 40), Fill::solid}));
    EXPECT_EQ(spoken[2], (GlowMask::Piece{QRectF(x, 40, 12, 40), Fill::fadeOutRight}));

    // The lookahead band starts at the front with a fade-in behind it.
    const auto ahead = GlowMask::pieces(layout, Band::lookahead, 2.0, 6.0, 364, 80);
    ASSERT_EQ(ahead.size(), 3u);
    const double x0 = layout.position(2.0).x, x1 = layout.position(6.0).x;
    EXPECT_EQ(ahead[0], (GlowMask::Piece{QRectF(x0, 0, x1 - x0, 40), Fill::solid}));
    EXPECT_EQ(ahead[1], (GlowMask::Piece{QRectF(x1, 0, 12, 40), Fill::fadeOutRight}));
    EXPECT_EQ(ahead[2], (GlowMask::Piece{QRectF(x0 - 12, 0, 12, 40), Fill::fadeInLeft}));

    // Asked for line 1 alone, the band is the same pieces without line 0's.
    const auto second = GlowMask::pieces(layout, Band::spoken, front, front, 364, 80, 1, 2);
    EXPECT_EQ(second, std::vector<GlowMask::Piece>(spoken.begin() + 1, spoken.end()));
    EXPECT_TRUE(GlowMask::pieces(layout, Band::spoken, front, front, 364, 80, 2, 5).empty());

    // A canvas twice as tall scales the rows; nothing is drawn without height.
    EXPECT_EQ(GlowMask::pieces(layout, Band::spoken, front, front, 364, 160)[1].rect.top(), 80);
    EXPECT_TRUE(GlowMask::pieces(layout, Band::spoken, front, front, 0, 80).empty());
    const ScriptLayout empty({QString(), 364, 24, 5.0 / 3.0}, ScriptWords(QString()));
    EXPECT_TRUE(GlowMask::pieces(empty, Band::spokenAndLookahead, 1, 2, 364, 80).empty());
}

TEST(GlowMask, rightToLeftLinesAreLitFromTheRight) {
    using Fill = GlowMask::Piece::Fill;
    for (const QString &text : {QStringLiteral("مرحبا بكم في هذا العرض"),
                                QStringLiteral("שלום לכולם וברוכים הבאים")}) {
        const ScriptLayout layout({text, 600, 24, 5.0 / 3.0}, ScriptWords(text));
        ASSERT_EQ(layout.lines().size(), 1u);
        const ScriptLayout::Line &line = layout.lines()[0];
        ASSERT_TRUE(line.bidi);
        // The first word said: lit at the right end, fading out to its left.
        const double front = text.indexOf(QLatin1Char(' '));
        const auto spoken = GlowMask::pieces(layout, GlowMask::Band::spoken, front, front, 600, 40);
        ASSERT_EQ(spoken.size(), 2u);
        EXPECT_EQ(spoken[0].fill, Fill::solid);
        EXPECT_NEAR(spoken[0].rect.right(), line.maxX, 1);
        EXPECT_GT(spoken[0].rect.left(), line.minX + 50);
        EXPECT_EQ(spoken[1].fill, Fill::fadeOutLeft);
        EXPECT_NEAR(spoken[1].rect.right(), spoken[0].rect.left(), 1);
        // The front moves leftwards as the reading goes on.
        EXPECT_LT(layout.position(front + 3).x, layout.position(front).x);
        EXPECT_TRUE(layout.runsLeftAt(front + 3));
        // The lookahead after it lies to its left, fading in from the right.
        const auto ahead = GlowMask::pieces(layout, GlowMask::Band::lookahead, front, front + 6,
                                            600, 40);
        ASSERT_EQ(ahead.size(), 3u);
        EXPECT_NEAR(ahead[0].rect.right(), spoken[0].rect.left(), 1);
        EXPECT_EQ(ahead[2].fill, Fill::fadeInRight);
    }
}

TEST(GlowMask, aMixedLineIsLitInItsWordsOrder) {
    // Read: "Say", "שלום", "עולם", "twice". Seen: Say עולם שלום twice.
    const QString text = QStringLiteral("Say שלום עולם twice");
    const ScriptLayout layout({text, 600, 24, 5.0 / 3.0}, ScriptWords(text));
    ASSERT_EQ(layout.lines().size(), 1u);
    // "Say" and "שלום" said: two stretches, with "עולם" unlit between them.
    const double front = text.indexOf(QStringLiteral(" עולם"));
    const auto said = layout.stretches(0, 0, front);
    ASSERT_EQ(said.size(), 2u);
    const double sayEnd = layout.position(3).x;
    EXPECT_NEAR(said[0].second, sayEnd, 8); // "Say" and its space
    const auto unsaid = layout.stretches(0, front + 1, text.indexOf(QStringLiteral(" twice")));
    ASSERT_EQ(unsaid.size(), 1u);
    EXPECT_GT(unsaid[0].first, said[0].second - 1);
    EXPECT_LT(unsaid[0].second, said[1].first + 1);
    // Everything said is one stretch from edge to edge.
    const auto all = layout.stretches(0, 0, text.size());
    ASSERT_EQ(all.size(), 1u);
    EXPECT_NEAR(all[0].first, layout.lines()[0].minX, 1);
    EXPECT_NEAR(all[0].second, layout.lines()[0].maxX, 1);
    // A left-to-right line keeps its single stretch and its right-hand fade.
    const ScriptLayout plain({QStringLiteral("one two three"), 600, 24, 5.0 / 3.0},
                             ScriptWords(QStringLiteral("one two three")));
    EXPECT_FALSE(plain.lines()[0].bidi);
    EXPECT_EQ(GlowMask::pieces(plain, GlowMask::Band::spoken, 4, 4, 600, 40).back().fill,
              GlowMask::Piece::Fill::fadeOutRight);
}

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

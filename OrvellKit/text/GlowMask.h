#pragma once

#include "text/ScriptLayout.h"

#include <QRectF>

#include <limits>
#include <vector>

// The shapes that reveal the lit parts of the script: per line a solid
// rectangle, plus soft edges where the light fades out ahead of the front
// and fades in behind it. Coordinates are the drawn text's.
namespace GlowMask {
enum class Band { spoken, lookahead, spokenAndLookahead };

struct Piece {
    // A fade's name says where the light is faint: a band read rightwards
    // fades out to the right of its end, one read leftwards to the left.
    enum class Fill { solid, fadeOutRight, fadeInLeft, fadeOutLeft, fadeInRight };
    QRectF rect;
    Fill fill = Fill::solid;
    bool operator==(const Piece &) const = default;
};

// The pieces for a band of a text canvas of width × height whose lines are
// those of `layout`; empty when there is nothing to reveal. Only lines
// [fromLine, toLine) are looked at: a frame needs the lines it shows, not the
// whole script up to the front.
std::vector<Piece> pieces(const ScriptLayout &layout, Band band, double glowFront,
                          double lookaheadEnd, double width, double height, int fromLine = 0,
                          int toLine = std::numeric_limits<int>::max());
} // namespace GlowMask

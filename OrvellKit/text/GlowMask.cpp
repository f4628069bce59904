#include "text/GlowMask.h"

#include <algorithm>

namespace GlowMask {

std::vector<Piece> pieces(const ScriptLayout &layout, Band band, double g, double l, double width,
                          double height, int fromLine, int toLine) {
    std::vector<Piece> out;
    if (!(width > 0) || !(layout.height() > 0) || layout.lines().empty())
        return out;
    const bool hasStart = band == Band::lookahead;
    const double startPosition = hasStart ? g : 0;
    const double endPosition = band == Band::spoken ? g : std::max(g, l);

    // An empty band reveals nothing, not even the soft edge after its end.
    if (!(endPosition > startPosition))
        return out;
    const ScriptLayout::Position start =
        hasStart ? layout.position(startPosition) : ScriptLayout::Position{0, 0};
    const ScriptLayout::Position end = layout.position(endPosition);
    if (start.line > end.line)
        return out;

    const double s = height / layout.height();
    const double feather = 0.5 * layout.key().fontSize;
    for (int i = std::max(start.line, fromLine); i <= std::min(end.line, toLine - 1); ++i) {
        const auto &line = layout.lines()[static_cast<size_t>(i)];
        const double y = line.top * s;
        const double h = (line.bottom - line.top) * s;
        const bool first = i == start.line;
        const bool last = i == end.line;
        if (line.bidi && (last || (first && hasStart))) {
            // Right-to-left text is lit from the right, each run of a mixed
            // line in its own direction: the band is the characters' stretches.
            const double from = first && hasStart ? startPosition : line.firstCharacter;
            const double to = last ? endPosition : line.endCharacter;
            for (const auto &[x0, x1] : layout.stretches(i, from, to))
                out.push_back({QRectF(x0, y, x1 - x0, h), Piece::Fill::solid});
            if (last)
                out.push_back(layout.runsLeftAt(endPosition)
                                  ? Piece{QRectF(end.x - feather, y, feather, h),
                                          Piece::Fill::fadeOutLeft}
                                  : Piece{QRectF(end.x, y, feather, h), Piece::Fill::fadeOutRight});
            if (first && hasStart)
                out.push_back(layout.runsLeftAt(startPosition)
                                  ? Piece{QRectF(start.x, y, feather, h), Piece::Fill::fadeInRight}
                                  : Piece{QRectF(start.x - feather, y, feather, h),
                                          Piece::Fill::fadeInLeft});
            continue;
        }
        const double x0 = first && hasStart ? start.x : 0;
        const double x1 = last ? end.x : width;
        if (x1 > x0)
            out.push_back({QRectF(x0, y, x1 - x0, h), Piece::Fill::solid});
        if (last)
            out.push_back({QRectF(end.x, y, feather, h), Piece::Fill::fadeOutRight});
        if (first && hasStart)
            out.push_back({QRectF(x0 - feather, y, feather, h), Piece::Fill::fadeInLeft});
    }
    return out;
}

} // namespace GlowMask

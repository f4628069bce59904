#include "OrvellKitUI/ScriptRenderer.h"

#include "OrvellKitUI/Blur.h"
#include "OrvellKitUI/Tokens.h"
#include "text/GlowMask.h"

#include <QLinearGradient>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <span>

namespace {

constexpr double margin = ScriptRenderer::haloRadius * 2;

QImage transparentImage(QSize size, double dpr) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);
    return image;
}

// A line image's rows in content rows (the text's y times the pixel ratio).
int imageTop(const ScriptLayout::Line &line, double dpr) {
    return qRound((line.top - margin) * dpr);
}

int imageBottom(const ScriptLayout::Line &line, double dpr) {
    return imageTop(line, dpr) + qRound((line.bottom - line.top + 2 * margin) * dpr);
}

// Where the fade ramps, as shares of the area's height: text fades in from
// the top edge until `rampIn` and out again from `rampOut` to the bottom.
std::pair<double, double> fadeRamps(bool anchoredTop) {
    return anchoredTop ? std::pair{0.12, 0.75} : std::pair{0.4, 0.6};
}

// The rows of an image that hold anything: a line image keeps a margin for
// the glows, which most frames need not copy.
QRect drawnRows(const QImage &image) {
    int top = image.height(), bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        if (std::any_of(row, row + image.width(), [](QRgb p) { return qAlpha(p) != 0; })) {
            top = std::min(top, y);
            bottom = y;
        }
    }
    return bottom < top ? QRect() : QRect(0, top, image.width(), bottom - top + 1);
}

// A premultiplied pixel at strength a (0–255), rounded as Qt's own
// blending rounds it.
inline QRgb scaled(QRgb x, uint a) {
    uint t = (x & 0xff00ff) * a;
    t = ((t + ((t >> 8) & 0xff00ff) + 0x800080) >> 8) & 0xff00ff;
    x = ((x >> 8) & 0xff00ff) * a;
    x = (x + ((x >> 8) & 0xff00ff) + 0x800080) & 0xff00ff00;
    return x | t;
}

// One premultiplied pixel over another at strength `a` (0–255).
inline void blendPixel(QRgb &dst, QRgb src, uint a) {
    if (src == 0)
        return;
    const QRgb p = a == 255 ? src : scaled(src, a);
    dst = dst == 0 ? p : p + scaled(dst, 255 - qAlpha(p));
}

// Lays columns of `from` over the same pixels of `onto`, on the rows of
// `part`: each run of `columns` at its own strength (0–255). Both images are
// premultiplied (or opaque, for `onto`) and of the same pixel layout: the
// layers and the strip are composed by plain loops, with no painter to set
// up for the few pixels a frame changes, and a row at a time, as they lie
// in memory.
struct Columns {
    int left, right; // inclusive, in `from`'s pixels
    uint strength;
};
void blendColumns(QImage &onto, QPoint at, const QImage &from, QRect part,
                  std::span<const Columns> columns) {
    part &= from.rect() & onto.rect().translated(-at);
    if (part.isEmpty() || columns.empty())
        return;
    const uchar *srcBits = from.constBits();
    uchar *dstBits = onto.bits();
    const qsizetype srcStride = from.bytesPerLine(), dstStride = onto.bytesPerLine();
    for (int y = part.top(); y <= part.bottom(); ++y) {
        const auto *src = reinterpret_cast<const QRgb *>(srcBits + y * srcStride);
        auto *dst = reinterpret_cast<QRgb *>(dstBits + (y + at.y()) * dstStride) + at.x();
        for (const Columns &run : columns) {
            const int to = std::min(run.right, part.right());
            for (int x = std::max(run.left, part.left()); x <= to; ++x)
                blendPixel(dst[x], src[x], run.strength);
        }
    }
}

// Lays `part` of `from` over the same pixels of `onto` at strength `a`.
void blendPart(QImage &onto, QPoint at, const QImage &from, const QRect &part, uint a) {
    const Columns all{part.left(), part.right(), a};
    if (a != 0)
        blendColumns(onto, at, from, part, {&all, 1});
}

void fillPart(QImage &image, QRect part, QRgb pixel) {
    part &= image.rect();
    if (part.isEmpty())
        return;
    uchar *bits = image.bits();
    for (int y = part.top(); y <= part.bottom(); ++y)
        std::fill_n(reinterpret_cast<QRgb *>(bits + y * image.bytesPerLine()) + part.left(),
                    part.width(), pixel);
}

// The pixels a script area covers: its rectangle widened to whole logical
// pixels, that rectangle's device size, and where the area itself lies in
// it, in device pixels: its corner, its first row and the row past its last.
struct Covered {
    QRect rect;
    QSize px;
    QPointF inset;
    int top, bottom;
};
Covered covered(const QRectF &viewport, double dpr) {
    const QRect rect = viewport.toAlignedRect();
    const QPointF inset = (viewport.topLeft() - QPointF(rect.topLeft())) * dpr;
    return {rect, (QSizeF(rect.size()) * dpr).toSize(), inset, qRound(inset.y()),
            qRound(inset.y() + viewport.height() * dpr)};
}

uint strength(double opacity) {
    return static_cast<uint>(std::clamp(std::lround(opacity * 255), 0L, 255L));
}

// Copies `part` of an image to where it lies when the image's corner is at
// `at`. The painter works in device pixels: copies of the same pixel size
// take Qt's plain blending paths, never its scaling ones.
void copyPart(QPainter &p, QPoint at, const QImage &image, const QRect &part) {
    if (!part.isEmpty())
        p.drawImage(QRectF(part.translated(at)), image, QRectF(part));
}

// Copies `image`, a line image, onto `onto` with its corner at `at`, in
// device pixels, through the pieces of a band (in text coordinates, `shift`
// taking them into the image's), within `within` (the image's pixels).
void copyThroughPieces(QImage &onto, QPoint at, const QImage &image,
                       const std::vector<GlowMask::Piece> &pieces, double opacity, QPointF shift,
                       QRect within) {
    within &= image.rect();
    if (pieces.empty() || opacity <= 0 || within.isEmpty())
        return;
    const double dpr = image.devicePixelRatio();
    // A solid piece reveals the layer unchanged: a plain copy of its
    // rectangle.
    std::vector<GlowMask::Piece> soft;
    std::vector<QRect> copied;
    for (const GlowMask::Piece &piece : pieces) {
        if (piece.fill != GlowMask::Piece::Fill::solid) {
            soft.push_back(piece);
            continue;
        }
        const QRectF r = piece.rect.translated(shift);
        const QRect px = QRect(QPoint(qRound(r.left() * dpr), qRound(r.top() * dpr)),
                               QPoint(qRound(r.right() * dpr) - 1, qRound(r.bottom() * dpr) - 1)) &
                         image.rect();
        if (px.isEmpty())
            continue;
        copied.push_back(px);
        blendPart(onto, at, image, px & within, strength(opacity));
    }
    // A soft edge fades across its width: each logical column of it is
    // copied with the strength the feather has at its centre, so no mask is
    // built and no pixel blended twice.
    const int step = std::max(1, static_cast<int>(std::lround(dpr)));
    for (const GlowMask::Piece &piece : soft) {
        const QRectF r = piece.rect.translated(shift);
        const int fullTop = std::max(0, qRound(r.top() * dpr));
        const int fullBottom = std::min(image.height(), qRound(r.bottom() * dpr));
        const int top = std::max(within.top(), fullTop);
        const int bottom = std::min(within.bottom() + 1, fullBottom);
        if (bottom <= top || !(r.width() > 0))
            continue;
        // Whole steps from the feather's own left edge, so a column has the
        // same strength however much of the image is composed.
        const int from = std::max(0, static_cast<int>(std::floor(r.left() * dpr)));
        const int to = std::min(image.width(), static_cast<int>(std::ceil(r.right() * dpr)));
        const int end = std::min(to, within.right() + 1);
        std::vector<Columns> columns;
        for (int c = from + std::max(0, within.left() - from) / step * step; c < end; c += step) {
            // The columns of this step not copied by a solid piece.
            int left = c, right = std::min(c + step, to) - 1;
            for (const QRect &px : copied)
                if (fullTop <= px.bottom() && fullBottom - 1 >= px.top()) {
                    if (px.left() <= left && left <= px.right())
                        left = px.right() + 1;
                    if (px.left() <= right && right <= px.right())
                        right = px.left() - 1;
                }
            if (right < left)
                continue;
            const double t = ((left + right + 1) / 2.0 / dpr - r.left()) / r.width();
            if (!(t > 0 && t < 1))
                continue;
            // Strongest at the side the light comes from.
            using Fill = GlowMask::Piece::Fill;
            const double feather =
                piece.fill == Fill::fadeOutRight || piece.fill == Fill::fadeInRight ? 1 - t : t;
            if (const uint a = strength(opacity * feather); a > 0)
                columns.push_back({left, right, a});
        }
        blendColumns(onto, at, image, QRect(within.left(), top, within.width(), bottom - top),
                     columns);
    }
}

// Where a rectangle that kept its rows changed: between its old and new
// sides (for a QRect, whose right() is inclusive, and a QRectF alike).
template <typename Rect, typename Point>
Rect sidesMoved(const Rect &a, const Rect &b) {
    Rect changed;
    for (const auto &[x0, x1] : {std::pair{a.left(), b.left()}, {a.right(), b.right()}})
        if (x0 != x1)
            changed |= Rect(Point(std::min(x0, x1), a.top()), Point(std::max(x0, x1), a.bottom()));
    return changed;
}

// A rectangle of logical pixels as the device pixels it touches.
QRect devicePixels(const QRectF &r, double dpr) {
    return QRectF(r.topLeft() * dpr, r.size() * dpr).toAlignedRect();
}

// Where pieces moved between two compositions of a line image, in the
// image's coordinates: empty when none did, nothing when they differ in kind
// or number and the image is composed whole.
std::optional<QRectF> movedPieces(const std::vector<GlowMask::Piece> &was,
                                  const std::vector<GlowMask::Piece> &now, QPointF shift,
                                  const QRectF &within) {
    if (was.size() != now.size())
        return std::nullopt;
    QRectF changed;
    for (size_t i = 0; i < now.size(); ++i) {
        const QRectF &a = was[i].rect, &b = now[i].rect;
        if (was[i].fill != now[i].fill)
            return std::nullopt;
        if (was[i] == now[i])
            continue;
        // A solid piece that grows with the light changes only where its
        // sides moved; a soft one changes all over.
        const bool sameRows = a.top() == b.top() && a.bottom() == b.bottom();
        changed |= now[i].fill == GlowMask::Piece::Fill::solid && sameRows
                       ? sidesMoved<QRectF, QPointF>(a, b)
                       : a.united(b);
    }
    return changed.isEmpty() ? QRectF() : changed.translated(shift).adjusted(-1, -1, 1, 1) & within;
}

// Where, in the image's pixels, one span (the lookahead's rectangle) and
// another differ.
QRect spanChange(const QRect &was, const QRect &now, const QRect &image) {
    if (was == now)
        return {};
    if (was.isEmpty() || now.isEmpty() || was.top() != now.top() || was.bottom() != now.bottom())
        return (was | now) & image;
    return sidesMoved<QRect, QPoint>(was, now) & image;
}

// The pixels of a line image the pieces may touch.
QRect areaOf(const std::vector<GlowMask::Piece> &pieces, QPointF shift, const QImage &image) {
    QRectF united;
    for (const GlowMask::Piece &piece : pieces)
        united |= piece.rect.translated(shift);
    if (united.isEmpty())
        return {};
    return devicePixels(united, image.devicePixelRatio()) & image.rect();
}

// The parts of `rect` outside `span`.
std::vector<QRect> outside(const QRect &rect, const QRect &span) {
    const QRect inside = rect & span;
    if (inside.isEmpty())
        return {rect};
    std::vector<QRect> parts;
    for (const QRect part :
         {QRect(QPoint(rect.left(), rect.top()), QPoint(rect.right(), inside.top() - 1)),
          QRect(QPoint(rect.left(), inside.bottom() + 1), QPoint(rect.right(), rect.bottom())),
          QRect(QPoint(rect.left(), inside.top()), QPoint(inside.left() - 1, inside.bottom())),
          QRect(QPoint(inside.right() + 1, inside.top()), QPoint(rect.right(), inside.bottom()))})
        if (part.isValid())
            parts.push_back(part);
    return parts;
}

} // namespace

ScriptRenderer::LineImages &ScriptRenderer::lineImages(const ScriptLayout &layout, int index,
                                                       double dpr, bool *made) {
    auto it = m_lines.find(index);
    if (made)
        *made = it == m_lines.end();
    if (it != m_lines.end())
        return it->second;
    const auto &line = layout.lines()[static_cast<size_t>(index)];
    const QSizeF logical(layout.key().width + 2 * margin, line.bottom - line.top + 2 * margin);
    QImage crisp = transparentImage((logical * dpr).toSize(), dpr);
    {
        QPainter p(&crisp);
        p.setPen(Tokens::scriptGlow());
        layout.drawLine(p, index, QPointF(margin, margin - line.top));
    }
    LineImages images;
    images.crisp = std::move(crisp);
    images.crispRows = drawnRows(images.crisp);
    if (layout.hasCues(index)) {
        images.cues = transparentImage((logical * dpr).toSize(), dpr);
        QPainter p(&images.cues);
        p.setPen(Tokens::scriptGlow());
        layout.drawCues(p, index, QPointF(margin, margin - line.top));
        p.end();
        images.cueRows = drawnRows(images.cues);
    }
    return m_lines.emplace(index, std::move(images)).first->second;
}

void ScriptRenderer::addGlows(LineImages &images, double dpr, bool halo, bool pulse) {
    // Blurring is the costliest step: a plain scroll never needs it, lines
    // the light has not reached need neither glow, and only the line with
    // the lookahead needs the pulse.
    if (halo && images.halo.isNull()) {
        images.halo = blurredWhite(images.crisp, haloRadius);
        images.halo.setDevicePixelRatio(dpr);
        images.haloRows = drawnRows(images.halo);
    }
    if (pulse && images.pulse.isNull()) {
        images.pulse = blurredWhite(images.crisp, pulseRadius);
        images.pulse.setDevicePixelRatio(dpr);
        images.pulseRows = drawnRows(images.pulse);
    }
}

const QImage &ScriptRenderer::fadeOverlay(QSize size, double dpr, bool anchoredTop) {
    if (m_fade.size() == size && m_fade.devicePixelRatio() == dpr &&
        m_fadeAnchoredTop == anchoredTop)
        return m_fade;
    m_fade = transparentImage(size, dpr);
    m_fadeAnchoredTop = anchoredTop;
    const double height = size.height() / dpr;
    const auto [a, b] = fadeRamps(anchoredTop);
    const QColor fill = Tokens::panelFill();
    QColor clear = fill;
    clear.setAlpha(0);
    QLinearGradient fade(0, 0, 0, height);
    fade.setColorAt(0, fill);
    fade.setColorAt(a, clear);
    fade.setColorAt(b, clear);
    fade.setColorAt(1, fill);
    QPainter p(&m_fade);
    p.fillRect(QRectF(0, 0, size.width() / dpr, height), fade);
    return m_fade;
}

QRect ScriptRenderer::relight(Light &light, std::vector<GlowMask::Piece> pieces,
                              std::vector<GlowMask::Piece> morePieces, const QRect &span,
                              QPointF shift, const QImage &crisp) {
    const double dpr = crisp.devicePixelRatio();
    const QRectF lineRect(QPointF(0, 0), crisp.deviceIndependentSize());
    QRect px = crisp.rect();
    if (light.set) {
        const auto moved = movedPieces(light.pieces, pieces, shift, lineRect);
        const auto movedMore = movedPieces(light.morePieces, morePieces, shift, lineRect);
        if (moved && movedMore) {
            const QRectF strip = moved->united(*movedMore);
            px = (strip.isEmpty() ? QRect() : devicePixels(strip, dpr) & crisp.rect()) |
                 spanChange(light.span, span, crisp.rect());
        }
    }
    light = {std::move(pieces), std::move(morePieces), span, true};
    return px;
}

void ScriptRenderer::composeLayer(Layer &layer, const QImage &crisp,
                                  std::vector<GlowMask::Piece> pieces,
                                  std::vector<GlowMask::Piece> morePieces, const QRect &span,
                                  QPointF shift, const QRect &bounds, const ComposeDraw &draw) {
    const QRect px = relight(layer.light, std::move(pieces), std::move(morePieces), span, shift,
                             crisp);
    if (px.isEmpty())
        return;
    if (layer.image.size() != crisp.size()) {
        layer.image = transparentImage(crisp.size(), 1);
    } else {
        // Cleared where it may hold anything.
        const QRect cleared = px & bounds;
        fillPart(layer.image, cleared, 0);
    }
    draw(layer.image, px);
}

QRegion ScriptRenderer::placeStrip(int need, QSize size, int textLeft, int clipLeft, int clipRight,
                                   bool lit) {
    Strip &s = m_strip;
    // Room for a stretch of scrolling before rows are moved.
    const int height = size.height() + std::max(16, size.height() / 2);
    if (s.image.isNull() || s.image.size() != QSize(size.width(), height) ||
        s.textLeft != textLeft || s.clipLeft != clipLeft || s.clipRight != clipRight ||
        s.lit != lit) {
        s.image = QImage(size.width(), height, QImage::Format_RGB32);
        s.top = need;
        s.textLeft = textLeft;
        s.clipLeft = clipLeft;
        s.clipRight = clipRight;
        s.lit = lit;
        return QRegion(s.image.rect());
    }
    if (need >= s.top && need + size.height() <= s.top + height)
        return {};
    // Reading moves down the script, so the rows needed go to the strip's
    // top; going back, to its bottom. Rows both hold are moved, not composed.
    const int top = need > s.top ? need : need + size.height() - height;
    const int from = std::max(top, s.top), to = std::min(top + height, s.top + height);
    QRegion dirty(s.image.rect());
    if (from < to) {
        const qsizetype line = s.image.bytesPerLine();
        uchar *bits = s.image.bits();
        std::memmove(bits + (from - top) * line, bits + (from - s.top) * line,
                     static_cast<size_t>((to - from) * line));
        dirty -= QRect(0, from - top, size.width(), to - from);
    }
    s.top = top;
    return dirty;
}

void ScriptRenderer::composeStrip(const QRect &rect, const ScriptLayout &layout, int fromLine,
                                  int toLine) {
    Strip &s = m_strip;
    const QRgb fill = Tokens::panelFill().rgba();
    fillPart(s.image, rect, fill);
    const QRect clip = rect & QRect(s.clipLeft, rect.top(), s.clipRight - s.clipLeft, rect.height());
    // Each line's layers in turn, straight onto the fill: the dim base, the
    // halo through what was said, the crisp text through what was said and
    // what comes next.
    for (int index = fromLine; index < toLine; ++index) {
        const auto it = m_lines.find(index);
        if (it == m_lines.end())
            continue;
        const LineImages &images = it->second;
        const auto &line = layout.lines()[static_cast<size_t>(index)];
        const QPoint at(s.textLeft, imageTop(line, m_dpr) - s.top);
        const QRect local = clip.translated(-at) & images.crisp.rect();
        if (local.isEmpty())
            continue;
        if (!images.cues.isNull())
            blendPart(s.image, at, images.cues, images.cueRows & local, strength(cueOpacity));
        if (!s.lit) {
            blendPart(s.image, at, images.crisp, images.crispRows & local, 255);
            continue;
        }
        const QPointF shift(margin, margin - line.top);
        blendPart(s.image, at, images.crisp, images.crispRows & local, strength(baseOpacity));
        copyThroughPieces(s.image, at, images.halo, images.lit.pieces, haloOpacity, shift,
                          local & images.haloRows);
        for (const QRect &part : outside(local & images.crispRows, images.lit.span))
            copyThroughPieces(s.image, at, images.crisp, images.lit.morePieces, 1.0, shift, part);
    }
}

QRect ScriptRenderer::prepare(const QRectF &viewport,
                              const std::shared_ptr<const ScriptLayout> &layout, double offset,
                              const std::optional<Glow> &glow, double dpr, bool anchoredTop) {
    if (!layout || viewport.isEmpty())
        return {};
    if (m_layout.lock() != layout || m_dpr != dpr) {
        m_lines.clear();
        m_strip = {};
        m_frame = {};
        m_layout = layout;
        m_dpr = dpr;
    }
    Frame &was = m_frame;
    if (was.valid && was.viewport == viewport && was.offset == offset && was.glow == glow &&
        was.anchoredTop == anchoredTop)
        return {};
    const auto [cover, coverPx, inset, areaTop, areaBottom] = covered(viewport, dpr);
    // Where the text's top lands, in whole device pixels: from one frame to
    // the next the text only moves, and the strip is copied from another row.
    const int textRow = qRound(inset.y() + (0.5 * viewport.height() - offset) * dpr);
    const int need = -textRow;
    QRegion dirty =
        placeStrip(need, coverPx, qRound(inset.x() - margin * dpr), qRound(inset.x()),
                   qRound(inset.x() + viewport.width() * dpr), glow.has_value());
    const int stripTop = m_strip.top;
    const int stripBottom = stripTop + m_strip.image.height();

    // The lines whose images reach into the strip: a binary search for the first.
    const auto &lines = layout->lines();
    const auto first = std::lower_bound(lines.begin(), lines.end(), stripTop,
                                        [dpr](const ScriptLayout::Line &l, int row) {
                                            return imageBottom(l, dpr) <= row;
                                        });
    auto end = first;
    while (end != lines.end() && imageTop(*end, dpr) < stripBottom)
        ++end;
    const int fromLine = static_cast<int>(first - lines.begin());
    const int toLine = static_cast<int>(end - lines.begin());

    std::vector<GlowMask::Piece> spoken, lookahead, both;
    if (glow) {
        const auto band = [&](GlowMask::Band b) {
            return GlowMask::pieces(*layout, b, glow->front, glow->lookaheadEnd,
                                    layout->key().width, layout->height(), fromLine, toLine);
        };
        spoken = band(GlowMask::Band::spoken);
        lookahead = band(GlowMask::Band::lookahead);
        both = band(GlowMask::Band::spokenAndLookahead);
    }

    // The lines with the breathing lookahead, drawn over the strip's copy.
    std::vector<Frame::Breathing> breathing;
    QRegion breathArea; // where, in the covered rectangle's device pixels
    for (auto it = first; it != end; ++it) {
        const int index = static_cast<int>(it - lines.begin());
        bool made = false;
        LineImages &images = lineImages(*layout, index, dpr, &made);
        // The image's place in the strip.
        const QPoint at(m_strip.textLeft, imageTop(*it, dpr) - stripTop);
        if (made)
            dirty += QRect(at, images.crisp.size());
        if (!glow)
            continue;

        // Each lit layer is masked by its band, in the line image's own coordinates.
        const QPointF shift(margin, margin - it->top);
        const QRectF lineRect(QPointF(0, 0), images.crisp.deviceIndependentSize());
        const auto here = [&](const std::vector<GlowMask::Piece> &pieces) {
            std::vector<GlowMask::Piece> out;
            for (const GlowMask::Piece &piece : pieces)
                if (piece.rect.translated(shift).intersects(lineRect))
                    out.push_back(piece);
            return out;
        };
        std::vector<GlowMask::Piece> spokenHere = here(spoken);
        std::vector<GlowMask::Piece> lookaheadHere = here(lookahead);
        std::vector<GlowMask::Piece> bothHere = here(both);
        // What the front has passed and what lies ahead of the light look
        // the same from frame to frame, so the strip holds them. Only the
        // lookahead's rectangle, where the pulse breathes between the halo and
        // the crisp text, are drawn afresh over the copy.
        const QRect span = areaOf(lookaheadHere, shift, images.crisp);
        // A neighbour's band reaches into this image's margin; where it ends
        // short of what this line's glow can reach, there is nothing of the
        // glow to light, so it is neither blurred nor drawn.
        const auto reaches = [&](const QRect &area, double radius) {
            const int reach = static_cast<int>(std::ceil(2 * radius * dpr));
            return area.intersects(images.crispRows.adjusted(0, -reach, 0, reach));
        };
        const bool breathes = reaches(span, pulseRadius);
        addGlows(images, dpr, reaches(areaOf(spokenHere, shift, images.crisp), haloRadius),
                 breathes);
        dirty += relight(images.lit, spokenHere, bothHere, span, shift, images.crisp).translated(at);
        const int row = textRow + imageTop(*it, dpr);
        if (!breathes || row >= coverPx.height() || row + images.crisp.height() <= 0)
            continue;
        composeLayer(images.breath, images.crisp, lookaheadHere, {}, {}, shift, images.pulseRows,
                     [&](QImage &breath, const QRect &within) {
                         copyThroughPieces(breath, {}, images.pulse, lookaheadHere, 1.0, shift,
                                           within & images.pulseRows);
                     });
        composeLayer(images.over, images.crisp, bothHere, {}, span, shift, images.crispRows,
                     [&](QImage &over, const QRect &within) {
                         copyThroughPieces(over, {}, images.crisp, bothHere, 1.0, shift,
                                           within & span & images.crispRows);
                     });
        breathing.push_back({index, span});
        breathArea += ((images.pulseRows | images.crispRows) & span)
                        .translated(m_strip.textLeft, row);
    }
    for (const QRect &rect : dirty & m_strip.image.rect())
        composeStrip(rect, *layout, fromLine, toLine);

    // What differs from the frame before: all of it once the text moved;
    // otherwise what was composed again (where the lookahead breathed
    // before included: its rectangle is part of a line's light) and where
    // it breathes now.
    const bool whole = !was.valid || was.textRow != textRow || was.viewport != viewport ||
                       was.anchoredTop != anchoredTop || was.glow.has_value() != glow.has_value();
    QRect changed = cover;
    if (!whole) {
        const QRect px = ((dirty & m_strip.image.rect()).translated(0, stripTop - need) |
                          breathArea)
                             .boundingRect() &
                         QRect(QPoint(), coverPx);
        changed = px.isEmpty() ? QRect()
                               : (QRectF(QPointF(px.topLeft()) / dpr, QSizeF(px.size()) / dpr)
                                      .translated(cover.topLeft())
                                      .toAlignedRect() &
                                  cover);
    }
    m_frame = {viewport, offset, glow, anchoredTop, textRow, std::move(breathing), true};

    // Keep the lines around the strip's; the rest would only cost memory.
    constexpr int keep = 12;
    std::erase_if(m_lines, [&](const auto &entry) {
        return entry.first < fromLine - keep || entry.first >= toLine + keep;
    });
    return changed;
}

void ScriptRenderer::paint(QPainter &painter, const QRectF &viewport,
                           const std::shared_ptr<const ScriptLayout> &layout, double offset,
                           const std::optional<Glow> &glow, bool anchoredTop) {
    if (!layout || viewport.isEmpty())
        return;
    const double dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    prepare(viewport, layout, offset, glow, dpr, anchoredTop);
    const Frame &frame = m_frame;
    const auto &lines = layout->lines();
    const auto [cover, coverPx, inset, areaTop, areaBottom] = covered(viewport, dpr);
    const int need = -frame.textRow, stripTop = m_strip.top;

    // The frame, in device pixels: the strip's rows under the script area,
    // copied, then the lookahead and the fade over them.
    const double group = painter.opacity();
    painter.save();
    const QTransform toDevice = painter.deviceTransform();
    painter.setWorldTransform((painter.worldTransform().inverted() * toDevice).inverted());
    const QPoint corner = toDevice.map(QPointF(cover.topLeft())).toPoint();
    if (group < 1 || areaTop > 0 || areaBottom < coverPx.height()) {
        painter.setOpacity(1);
        painter.fillRect(QRect(corner, coverPx), Tokens::panelFill());
        painter.setOpacity(group);
    }
    copyPart(painter, corner + QPoint(0, stripTop - need), m_strip.image,
             QRect(0, need + areaTop - stripTop, coverPx.width(), areaBottom - areaTop));

    painter.setClipRect(QRect(corner + QPoint(m_strip.clipLeft, areaTop),
                              corner + QPoint(m_strip.clipRight - 1, areaBottom - 1)),
                        Qt::IntersectClip);
    for (const Frame::Breathing &b : frame.breathing) {
        const LineImages &images = m_lines.at(b.index);
        const QPoint at = corner + QPoint(m_strip.textLeft,
                                          frame.textRow +
                                              imageTop(lines[static_cast<size_t>(b.index)], dpr));
        painter.setOpacity(group * glow->pulseOpacity);
        copyPart(painter, at, images.breath.image, images.pulseRows & b.span);
        painter.setOpacity(group);
        copyPart(painter, at, images.over.image, images.crispRows & b.span);
    }

    // The text fades into the island towards the top and bottom edges: the
    // island's fill laid over it where the fade ramps, from an image made
    // once, and at full strength whatever the text's opacity.
    painter.setOpacity(1);
    const QSize frameSize = (viewport.size() * dpr).toSize();
    const QImage &fade = fadeOverlay(frameSize, dpr, anchoredTop);
    const auto [rampIn, rampOut] = fadeRamps(anchoredTop);
    const int inRows =
        std::min(frameSize.height(), static_cast<int>(std::ceil(rampIn * frameSize.height())) + 1);
    const int outFrom = std::max(0, static_cast<int>(std::floor(rampOut * frameSize.height())) - 1);
    const QPoint fadeCorner = toDevice.map(viewport.topLeft()).toPoint();
    for (const QRect band : {QRect(0, 0, frameSize.width(), inRows),
                             QRect(0, outFrom, frameSize.width(), frameSize.height() - outFrom)})
        copyPart(painter, fadeCorner, fade, band);
    painter.restore();
}

#include "ScriptRenderer.h"

#include "Blur.h"
#include "Tokens.h"
#include "text/GlowMask.h"

#include <QLinearGradient>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

constexpr double margin = ScriptRenderer::haloRadius * 2;

QImage transparentImage(QSize size, double dpr) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);
    return image;
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

// Copies the drawn rows of a line image to where the whole image would go.
void drawRows(QPainter &p, QPointF at, const QImage &image, const QRect &rows) {
    if (rows.isEmpty())
        return;
    const double dpr = image.devicePixelRatio();
    p.drawImage(QRectF(at + QPointF(rows.topLeft()) / dpr, QSizeF(rows.size()) / dpr), image,
                QRectF(rows));
}

// Copies `image`, a line image, onto `onto` at `where` through the pieces
// of a band (in text coordinates, `shift` taking them into the image's).
void copyThroughPieces(QPainter &onto, const QImage &image,
                       const std::vector<GlowMask::Piece> &pieces, double opacity, QPointF where,
                       QPointF shift) {
    if (pieces.empty() || opacity <= 0)
        return;
    const double dpr = image.devicePixelRatio();
    onto.setOpacity(opacity);
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
        onto.drawImage(QRectF(where + QPointF(px.topLeft()) / dpr, QSizeF(px.size()) / dpr), image,
                       QRectF(px));
        copied.push_back(px);
    }
    // A soft edge fades across its width: each logical column of it is
    // copied with the strength the feather has at its centre, so no mask is
    // built and no pixel blended twice.
    const int step = std::max(1, static_cast<int>(std::lround(dpr)));
    for (const GlowMask::Piece &piece : soft) {
        const QRectF r = piece.rect.translated(shift);
        const int top = std::max(0, qRound(r.top() * dpr));
        const int bottom = std::min(image.height(), qRound(r.bottom() * dpr));
        if (bottom <= top || !(r.width() > 0))
            continue;
        const int from = std::max(0, static_cast<int>(std::floor(r.left() * dpr)));
        const int to = std::min(image.width(), static_cast<int>(std::ceil(r.right() * dpr)));
        for (int c = from; c < to; c += step) {
            // The columns of this step not copied by a solid piece.
            int left = c, right = std::min(c + step, to) - 1;
            for (const QRect &px : copied)
                if (top <= px.bottom() && bottom - 1 >= px.top()) {
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
            const double strength = piece.fill == GlowMask::Piece::Fill::fadeOutRight ? 1 - t : t;
            onto.setOpacity(opacity * strength);
            const QRect columns(left, top, right - left + 1, bottom - top);
            onto.drawImage(
                QRectF(where + QPointF(columns.topLeft()) / dpr, QSizeF(columns.size()) / dpr),
                image, QRectF(columns));
        }
    }
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
        if (was[i].fill != now[i].fill)
            return std::nullopt;
        if (!(was[i] == now[i]))
            changed |= was[i].rect.united(now[i].rect);
    }
    return changed.isEmpty() ? QRectF() : changed.translated(shift).adjusted(-1, -1, 1, 1) & within;
}

} // namespace

ScriptRenderer::LineImages &ScriptRenderer::lineImages(const ScriptLayout &layout, int index,
                                                       double dpr) {
    auto it = m_lines.find(index);
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
    return m_lines.emplace(index, std::move(images)).first->second;
}

void ScriptRenderer::addGlows(LineImages &images, double dpr, bool halo, bool pulse) {
    // Blurring is the costliest step: a plain scroll never needs it, lines
    // the light has not reached need neither glow, and only the line with
    // the lookahead needs the pulse.
    if (halo && images.halo.isNull()) {
        images.halo = blurredWhite(images.crisp, haloRadius);
        images.halo.setDevicePixelRatio(dpr);
    }
    if (pulse && images.pulse.isNull()) {
        images.pulse = blurredWhite(images.crisp, pulseRadius);
        images.pulse.setDevicePixelRatio(dpr);
    }
}

namespace {

// Where the fade ramps, as shares of the area's height: text fades in from
// the top edge until `rampIn` and out again from `rampOut` to the bottom.
std::pair<double, double> fadeRamps(bool anchoredTop) {
    return anchoredTop ? std::pair{0.12, 0.75} : std::pair{0.4, 0.6};
}

} // namespace

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

void ScriptRenderer::paint(QPainter &painter, const QRectF &viewport,
                           const std::shared_ptr<const ScriptLayout> &layout, double offset,
                           const std::optional<Glow> &glow, bool anchoredTop) {
    if (!layout || viewport.isEmpty())
        return;
    const double dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    if (m_layout.lock() != layout || m_dpr != dpr) {
        m_lines.clear();
        m_layout = layout;
        m_dpr = dpr;
    }
    const QSize frameSize = (viewport.size() * dpr).toSize();

    const double textTop = 0.5 * viewport.height() - offset;
    const double width = layout->key().width;
    const auto &lines = layout->lines();
    // The lines that can show: a binary search on their bottoms for the first.
    const auto first =
        std::lower_bound(lines.begin(), lines.end(), -textTop - margin,
                         [](const ScriptLayout::Line &l, double y) { return l.bottom < y; });
    auto end = first;
    while (end != lines.end() && textTop + end->top < viewport.height() + margin)
        ++end;
    const int fromLine = static_cast<int>(first - lines.begin());
    const int toLine = static_cast<int>(end - lines.begin());

    std::vector<GlowMask::Piece> spoken, lookahead, both;
    if (glow) {
        const auto band = [&](GlowMask::Band b) {
            return GlowMask::pieces(*layout, b, glow->front, glow->lookaheadEnd, width,
                                    layout->height(), fromLine, toLine);
        };
        spoken = band(GlowMask::Band::spoken);
        lookahead = band(GlowMask::Band::lookahead);
        both = band(GlowMask::Band::spokenAndLookahead);
    }

    // Straight onto the island: no frame of its own to clear, mask and copy.
    const double group = painter.opacity();
    painter.save();
    painter.setClipRect(viewport, Qt::IntersectClip);
    painter.translate(viewport.topLeft());
    for (auto it = first; it != end; ++it) {
        const int index = static_cast<int>(it - lines.begin());
        LineImages &images = lineImages(*layout, index, dpr);
        const QPointF at(-margin, textTop + it->top - margin);
        if (!glow) {
            drawRows(painter, at, images.crisp, images.crispRows);
            continue;
        }

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
        const std::vector<GlowMask::Piece> spokenHere = here(spoken);
        const std::vector<GlowMask::Piece> lookaheadHere = here(lookahead);
        const std::vector<GlowMask::Piece> bothHere = here(both);
        // What the front has passed and what lies ahead of the light look
        // the same from frame to frame: composed once into `lit` and reused.
        // On the line the front is crossing only the strip where the light
        // moved is composed again, and the breathing lookahead, between the
        // halo and the crisp text, is the one layer drawn afresh.
        const bool breathing = !lookaheadHere.empty();
        addGlows(images, dpr, !spokenHere.empty(), breathing);
        const std::vector<GlowMask::Piece> noPieces;
        const std::vector<GlowMask::Piece> &litBoth = breathing ? noPieces : bothHere;
        // Composes `target` again, only within `strip` when there is one.
        const auto compose = [&](QImage &target, QRect &rows, std::optional<QRectF> strip,
                                 const auto &draw) {
            if (target.isNull())
                strip.reset();
            if (strip && strip->isEmpty())
                return;
            if (!strip)
                target = transparentImage(images.crisp.size(), dpr);
            QPainter p(&target);
            if (strip) {
                p.setClipRect(*strip);
                p.setCompositionMode(QPainter::CompositionMode_Source);
                p.fillRect(*strip, Qt::transparent);
                p.setCompositionMode(QPainter::CompositionMode_SourceOver);
            }
            draw(p);
            p.end();
            if (!strip) {
                rows = drawnRows(target);
            } else {
                const QRect px =
                    QRectF(strip->topLeft() * dpr, strip->size() * dpr).toAlignedRect();
                rows |= QRect(0, px.top(), target.width(), px.height());
            }
        };
        {
            const auto spokenMoved = movedPieces(images.litSpoken, spokenHere, shift, lineRect);
            const auto bothMoved = movedPieces(images.litBoth, litBoth, shift, lineRect);
            compose(images.lit, images.litRows,
                    spokenMoved && bothMoved ? std::optional(spokenMoved->united(*bothMoved))
                                             : std::nullopt,
                    [&](QPainter &lit) {
                        lit.setOpacity(baseOpacity);
                        lit.drawImage(QPointF(0, 0), images.crisp);
                        copyThroughPieces(lit, images.halo, spokenHere, haloOpacity, {}, shift);
                        copyThroughPieces(lit, images.crisp, litBoth, 1.0, {}, shift);
                    });
            images.litSpoken = spokenHere;
            images.litBoth = litBoth;
        }
        painter.setOpacity(group);
        drawRows(painter, at, images.lit, images.litRows);
        if (!breathing)
            continue;
        copyThroughPieces(painter, images.pulse, lookaheadHere, group * glow->pulseOpacity, at,
                          shift);
        compose(images.over, images.overRows,
                movedPieces(images.overBoth, bothHere, shift, lineRect), [&](QPainter &over) {
                    copyThroughPieces(over, images.crisp, bothHere, 1.0, {}, shift);
                });
        images.overBoth = bothHere;
        painter.setOpacity(group);
        drawRows(painter, at, images.over, images.overRows);
    }

    // The text fades into the island towards the top and bottom edges: the
    // island's fill laid over it where the fade ramps, from an image made
    // once, and at full strength whatever the text's opacity.
    painter.setOpacity(1);
    const QImage &fade = fadeOverlay(frameSize, dpr, anchoredTop);
    const auto [rampIn, rampOut] = fadeRamps(anchoredTop);
    const int inRows =
        std::min(frameSize.height(), static_cast<int>(std::ceil(rampIn * frameSize.height())) + 1);
    const int outFrom = std::max(0, static_cast<int>(std::floor(rampOut * frameSize.height())) - 1);
    for (const QRect band : {QRect(0, 0, frameSize.width(), inRows),
                             QRect(0, outFrom, frameSize.width(), frameSize.height() - outFrom)})
        if (band.isValid())
            painter.drawImage(QRectF(QPointF(band.topLeft()) / dpr, QSizeF(band.size()) / dpr),
                              fade, QRectF(band));
    painter.restore();

    // Keep the lines around the visible ones; the rest would only cost memory.
    constexpr int keep = 12;
    std::erase_if(m_lines, [&](const auto &entry) {
        return entry.first < fromLine - keep || entry.first >= toLine + keep;
    });
}

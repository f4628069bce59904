#pragma once

#include "text/GlowMask.h"
#include "text/ScriptLayout.h"

#include <QImage>
#include <QRectF>
#include <QRegion>

#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

class QPainter;

// Draws the script in the island: the text under the scroll offset, faded
// towards the edges, and, when a mode lights it, the glow in four layers
// (dim base, soft halo behind what was said, a breathing pulse over what
// comes next, crisp text over both). Each line's text and its two blurred
// copies are rendered once per layout and reused. The text moves by whole
// device pixels over a strip composed on the island's fill, so a frame is
// mostly that strip copied: only rows that scroll in and lines whose light
// changed are composed again, and the breathing pulse and the fade are
// drawn over the copy. `prepare` also tells which part of the area a frame
// changed, so that the window repaints only that: while the text keeps its
// pixel row, a frame changes only around the light.
class ScriptRenderer {
public:
    static constexpr double haloRadius = 6;
    static constexpr double pulseRadius = 5;
    static constexpr double haloOpacity = 0.55;
    static constexpr double baseOpacity = 0.45;
    // Cues ("[pause]"), italic, at this strength whatever the light does.
    static constexpr double cueOpacity = 0.4;

    struct Glow {
        double front = 0;
        double lookaheadEnd = 0;
        // Between 0.25 and 0.95 as the pulse breathes.
        double pulseOpacity = 0.95;
        bool operator==(const Glow &) const = default;
    };

    // `viewport` is the script area; the text's top stands half a viewport
    // below its top, moved up by `offset`. Every pixel of
    // `viewport.toAlignedRect()` is painted (the island's fill where there is
    // no text), so nothing need be painted under it.
    void paint(QPainter &painter, const QRectF &viewport,
               const std::shared_ptr<const ScriptLayout> &layout, double offset,
               const std::optional<Glow> &glow, bool anchoredTop = true);
    // Brings the composed script up to a frame, as `paint` with a painter of
    // pixel ratio `dpr` would, and returns the part of
    // `viewport.toAlignedRect()` that differs from the frame prepared before
    // it (empty when nothing does): all of it when the text moved a device
    // pixel, otherwise around the light. Repainting only that part of the
    // last frame, with `paint` and the same arguments, gives the frame.
    QRect prepare(const QRectF &viewport, const std::shared_ptr<const ScriptLayout> &layout,
                  double offset, const std::optional<Glow> &glow, double dpr,
                  bool anchoredTop = true);

    // Visible for tests: how many lines have been rendered since the layout changed.
    size_t cachedLineCount() const { return m_lines.size(); }

private:
    // The bands of the glow a line, or a layer of it, was last composed
    // through: while they stay the same it is reused as it is, and when they
    // move only the strip where they moved is composed again.
    struct Light {
        std::vector<GlowMask::Piece> pieces, morePieces;
        QRect span; // the lookahead's rectangle, in the image's pixels
        bool set = false;
    };
    struct Layer {
        QImage image; // in device pixels, drawn only within its bounds
        Light light;
    };
    struct LineImages {
        QImage crisp, halo, pulse; // the glows only once a guide lights the line
        QRect crispRows, haloRows, pulseRows;
        QImage cues; // null on a line without cues
        QRect cueRows;
        // The strip holds the line lit (the dim base, the halo, and the crisp
        // text except where the lookahead breathes) as `lit` says; there
        // `breath` (the pulse through the lookahead) and `over` (the crisp
        // text) are drawn over the strip's copy each frame.
        Light lit;
        Layer breath, over;
    };
    // The composed script, opaque, in device pixels: content row r (the
    // text's y times the pixel ratio) is the image's row r - top.
    struct Strip {
        QImage image;
        int top = 0;
        // The device column of a line image's left edge, and the columns the
        // text may cover: a halo stops at the script area's sides.
        int textLeft = 0, clipLeft = 0, clipRight = 0;
        bool lit = false;
    };
    // Moves or remakes the strip so it holds content rows [need, need +
    // size.height()); returns the rows, in its own coordinates, left to
    // compose.
    QRegion placeStrip(int need, QSize size, int textLeft, int clipLeft, int clipRight, bool lit);
    // Composes `rect` of the strip again: the fill, then every line reaching into it.
    void composeStrip(const QRect &rect, const ScriptLayout &layout, int fromLine, int toLine);
    // Records the bands a line is now lit through; returns the pixels of its
    // image they change: all of them the first time or when the bands change
    // in kind, none when they stay the same.
    static QRect relight(Light &light, std::vector<GlowMask::Piece> pieces,
                         std::vector<GlowMask::Piece> morePieces, const QRect &span,
                         QPointF shift, const QImage &crisp);
    // Composes a line's layer again where its light changed. `draw` is
    // handed the pixels to compose; `bounds` holds every pixel it can draw.
    using ComposeDraw = std::function<void(QImage &, const QRect &)>;
    static void composeLayer(Layer &layer, const QImage &crisp, std::vector<GlowMask::Piece> pieces,
                             std::vector<GlowMask::Piece> morePieces, const QRect &span,
                             QPointF shift, const QRect &bounds, const ComposeDraw &draw);
    LineImages &lineImages(const ScriptLayout &layout, int line, double dpr, bool *made = nullptr);
    void addGlows(LineImages &images, double dpr, bool halo, bool pulse);
    // The island's fill, opaque at the top and bottom edges and clear where
    // the text shows fully, for this size and anchoring.
    const QImage &fadeOverlay(QSize size, double dpr, bool anchoredTop);

    // The frame last prepared: what it was asked for, and what `paint`
    // draws of it over the strip's copy.
    struct Frame {
        struct Breathing {
            int index; // the line
            QRect span; // the lookahead's rectangle in its image
        };
        QRectF viewport;
        double offset = 0;
        std::optional<Glow> glow;
        bool anchoredTop = true;
        int textRow = 0; // where the text's top lands, from the covered rectangle's top
        std::vector<Breathing> breathing;
        bool valid = false;
    };

    std::weak_ptr<const ScriptLayout> m_layout;
    double m_dpr = 1;
    std::unordered_map<int, LineImages> m_lines;
    Strip m_strip;
    Frame m_frame;
    QImage m_fade;
    bool m_fadeAnchoredTop = true;
};

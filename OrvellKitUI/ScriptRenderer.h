#pragma once

#include "text/GlowMask.h"
#include "text/ScriptLayout.h"

#include <QImage>
#include <QRectF>

#include <memory>
#include <optional>
#include <unordered_map>

class QPainter;

// Draws the script in the island: the text under the scroll offset, faded
// towards the edges, and, when a mode lights it, the glow in four layers
// (dim base, soft halo behind what was said, a breathing pulse over what
// comes next, crisp text over both). Each line's text and its two blurred
// copies are rendered once per layout and reused; a frame only composes
// and masks them, straight onto the island's opaque fill.
class ScriptRenderer {
public:
    static constexpr double haloRadius = 6;
    static constexpr double pulseRadius = 5;
    static constexpr double haloOpacity = 0.55;
    static constexpr double baseOpacity = 0.45;

    struct Glow {
        double front = 0;
        double lookaheadEnd = 0;
        // Between 0.25 and 0.95 as the pulse breathes.
        double pulseOpacity = 0.95;
    };

    // `viewport` is the script area, already filled with the island's
    // colour; the text's top stands half a viewport below its top, moved up
    // by `offset`.
    void paint(QPainter &painter, const QRectF &viewport,
               const std::shared_ptr<const ScriptLayout> &layout, double offset,
               const std::optional<Glow> &glow, bool anchoredTop = true);

    // Visible for tests: how many lines have been rendered since the layout changed.
    size_t cachedLineCount() const { return m_lines.size(); }

private:
    struct LineImages {
        QImage crisp, halo, pulse; // the glows only once a guide lights the line
        QRect crispRows;
        // The line as last lit, and the light it was lit with: a line the
        // front has passed looks the same frame after frame. On the line with
        // the breathing lookahead `lit` holds the layers below it and `over`
        // the crisp text above it.
        QImage lit, over;
        QRect litRows, overRows;
        std::vector<GlowMask::Piece> litSpoken, litBoth, overBoth;
    };
    LineImages &lineImages(const ScriptLayout &layout, int line, double dpr);
    void addGlows(LineImages &images, double dpr, bool halo, bool pulse);
    // The island's fill, opaque at the top and bottom edges and clear where
    // the text shows fully, for this size and anchoring.
    const QImage &fadeOverlay(QSize size, double dpr, bool anchoredTop);

    std::weak_ptr<const ScriptLayout> m_layout;
    double m_dpr = 1;
    std::unordered_map<int, LineImages> m_lines;
    QImage m_fade;
    bool m_fadeAnchoredTop = true;
};

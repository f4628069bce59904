#include "island/IslandLayout.h"

#include "base/Metrics.h"

#include <algorithm>
#include <cmath>

QPointF IslandLayout::placementOrigin(double w, double h, const IslandPlacement &placement,
                                      const NotchGeometry &geometry) {
    const QRectF s = geometry.screenFrame;
    const double margin = Metrics::filletSize;
    switch (placement.kind) {
    case IslandPlacement::Kind::topLeading:
        return {margin, 0};
    case IslandPlacement::Kind::topCenter:
        return {geometry.cutoutRect.center().x() - s.left() - w / 2, 0};
    case IslandPlacement::Kind::topTrailing:
        return {s.width() - w - margin, 0};
    case IslandPlacement::Kind::free:
        break;
    }
    double x = std::isfinite(placement.x)
                   ? std::clamp(placement.x, margin, std::max(margin, s.width() - w - margin))
                   : margin;
    double y = placement.y;
    if (std::isnan(y))
        y = 0;
    y = std::clamp(y, -geometry.topPanel, std::max(0.0, s.height() - h));
    // A body dragged to within a few points of the top edge snaps flush to it.
    if (std::abs(y) < 8)
        y = 0;
    return {x, y};
}

IslandLayout IslandLayout::make(const Config &config, const NotchGeometry &geometry) {
    const double cw = geometry.cutoutRect.width();
    const double ch = geometry.cutoutRect.height();
    // std::max keeps the lower bound even when a stored number is NaN.
    double w = std::max(cw + 2 * Metrics::filletSize, config.bodyWidth);
    double c = std::max(ch + Metrics::notchCoverMargin, config.coverHeight);
    // Never wider or taller than the screen it hangs from, fillets included.
    const QRectF screen = geometry.screenFrame;
    if (screen.width() > 0)
        w = std::min(
            w, std::max(cw + 2 * Metrics::filletSize, screen.width() - 2 * Metrics::filletSize));
    if (screen.height() > 0)
        c = std::min(
            c, std::max(ch + Metrics::notchCoverMargin, screen.height() - config.scriptHeight));
    const double h = c + config.scriptHeight;
    const QSizeF windowSize(w + 2 * Metrics::filletSize + 2 * Metrics::shadowBleed,
                            h + Metrics::shadowBleed);

    const QPointF origin = placementOrigin(w, h, config.placement, geometry);
    const double bodyLeft = geometry.screenFrame.left() + origin.x();
    const double bodyTop = geometry.screenFrame.top() + origin.y();

    IslandLayout l;
    // Whole points, so the window never lands between pixels.
    l.windowFrame =
        QRectF(QPointF(std::round(bodyLeft - bodyInset), std::round(bodyTop)), windowSize);
    l.bodyWidth = w;
    l.bodyHeight = h;
    l.contentTopInset = c;
    l.cutoutHeight = ch;
    l.cutoutWidth = cw;
    l.placement = config.placement;
    l.screenTopInset = origin.y();
    // Under a real top panel the display is taken to begin below it: no
    // menu bar lies over the body there, only the panel above it.
    l.menuBarHeight = geometry.topPanel > 0 ? 0.0 : geometry.menuBarHeight;
    return l;
}

QRectF IslandLayout::scriptArea() const {
    return QRectF(bodyOrigin.x() + Metrics::scriptHorizontalPadding,
                  bodyOrigin.y() + contentTopInset,
                  bodyWidth - 2 * Metrics::scriptHorizontalPadding,
                  bodyHeight - contentTopInset - Metrics::scriptBottomPadding);
}

QRectF IslandLayout::controlRect(int index) const {
    const double size = Metrics::islandControlSize;
    const double y = bodyOrigin.y() + std::max(0.0, (contentTopInset - size) / 2);
    const double x = bodyOrigin.x() + bodyWidth - Metrics::scriptHorizontalPadding - size -
                     index * (size + Metrics::islandControlGap);
    return QRectF(x, y, size, size);
}

QPainterPath IslandLayout::hitTestPath(bool includeBody, bool includePill) const {
    QPainterPath path;
    // The part under a real top panel belongs to the panel (also for a body
    // dragged up onto one); at the top edge the cover strip over the camera
    // does not take clicks.
    const auto clickable = [this](double height, bool coverTakesClicks) {
        double top = 0;
        if (!isFlush() || screenTopInset < -0.5) {
            const double hidden = menuBarHeight - screenTopInset;
            top = std::max(0.0, hidden);
            return std::pair(top, hidden >= 0 ? height - top : height);
        }
        top = coverTakesClicks ? 0 : contentTopInset;
        return std::pair(top, height - top);
    };
    if (includeBody) {
        const auto [top, height] = clickable(bodyHeight, false);
        if (height > 0)
            path.addRoundedRect(QRectF(bodyOrigin.x(), bodyOrigin.y() + top, bodyWidth, height),
                                Metrics::panelBottomRadius, Metrics::panelBottomRadius);
    } else if (includePill) {
        // The idle pill is the cover itself: all of it answers the pointer.
        const auto [top, height] = clickable(cutoutHeight, true);
        if (height > 0)
            path.addRect(pillRect().adjusted(0, top, 0, top + height - cutoutHeight));
    }
    if (placement.kind != IslandPlacement::Kind::topCenter) {
        path.addRect(controlRect(0));
        path.addRect(controlRect(1));
    }
    return path;
}

QRectF IslandLayout::pillRect() const {
    return QRectF(bodyOrigin.x() + (bodyWidth - cutoutWidth) / 2, bodyOrigin.y(), cutoutWidth,
                  cutoutHeight);
}

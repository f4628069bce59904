#include "island/IslandShapes.h"

#include "base/Metrics.h"

#include <algorithm>

IslandSilhouette IslandSilhouette::forLayout(const IslandLayout &layout, bool isLive,
                                             bool isDragging) {
    const bool flush = layout.isFlush();
    IslandSilhouette s;
    s.centerX = layout.bodyOrigin.x() + layout.bodyWidth / 2;
    s.top = layout.bodyOrigin.y();
    s.bodySize = isLive ? QSizeF(layout.bodyWidth, layout.bodyHeight)
                        : QSizeF(layout.cutoutWidth, layout.cutoutHeight);
    s.filletSize = isLive && !isDragging && flush ? Metrics::filletSize : 0;
    s.bottomRadius = Metrics::panelBottomRadius;
    s.topRadius = isDragging || !flush ? Metrics::panelBottomRadius : 0;
    return s;
}

QPainterPath IslandSilhouette::path() const {
    const double w = bodySize.width();
    const double h = bodySize.height();
    const double l = centerX - w / 2;
    const double r = l + w;
    const double t = top;
    const double b = t + h;
    const double f = filletSize;
    const double rb = bottomRadius;
    const double rt = std::min(std::min(w, h) / 2, topRadius);

    QPainterPath p;
    p.moveTo(l - f + rt, t);
    p.lineTo(r + f - rt, t);
    if (rt > 0)
        p.quadTo(r + f, t, r + f, t + rt);
    p.quadTo(r, t, r, t + f);
    p.lineTo(r, b - rb);
    p.quadTo(r, b, r - rb, b);
    p.lineTo(l + rb, b);
    p.quadTo(l, b, l, b - rb);
    p.lineTo(l, t + f);
    p.quadTo(l, t, l - f, t + rt);
    if (rt > 0)
        p.quadTo(l - f, t, l - f + rt, t);
    p.closeSubpath();
    return p;
}

QPainterPath IslandBodyShape::path(const QRectF &rect) const {
    const double limit = std::min(rect.width(), rect.height()) / 2;
    const double rt = std::clamp(topRadius, 0.0, limit);
    const double rb = std::clamp(bottomRadius, 0.0, limit);
    const double l = rect.left(), r = rect.right(), t = rect.top(), b = rect.bottom();

    QPainterPath p;
    p.moveTo(l + rt, t);
    p.lineTo(r - rt, t);
    p.arcTo(QRectF(r - 2 * rt, t, 2 * rt, 2 * rt), 90, -90);
    p.lineTo(r, b - rb);
    p.arcTo(QRectF(r - 2 * rb, b - 2 * rb, 2 * rb, 2 * rb), 0, -90);
    p.lineTo(l + rb, b);
    p.arcTo(QRectF(l, b - 2 * rb, 2 * rb, 2 * rb), 270, -90);
    p.lineTo(l, t + rt);
    p.arcTo(QRectF(l, t, 2 * rt, 2 * rt), 180, -90);
    p.closeSubpath();
    return p;
}

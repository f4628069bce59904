#include "OrvellKitUI/DropShadow.h"

#include "OrvellKitUI/Blur.h"

#include <QPainter>

#include <cmath>

QMargins DropShadow::bleed(const ShadowStyle &style) {
    const auto out = [](double v) { return std::max(0, static_cast<int>(std::ceil(v))); };
    return {out(style.radius - style.x), out(style.radius - style.y), out(style.radius + style.x),
            out(style.radius + style.y)};
}

void DropShadow::paint(QPainter &painter, const QPainterPath &shape, const ShadowStyle &style) {
    if (shape.isEmpty() || style.color.alpha() == 0)
        return;
    const double ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const bool same = ratio == m_ratio && style.color == m_style.color &&
                      style.radius == m_style.radius && style.x == m_style.x &&
                      style.y == m_style.y && shape == m_shape && !m_image.isNull();
    if (!same) {
        const QRect area =
            shape.boundingRect().toAlignedRect().marginsAdded(bleed(style) + QMargins(2, 2, 2, 2));
        QImage mask((QSizeF(area.size()) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
        mask.setDevicePixelRatio(ratio);
        mask.fill(Qt::transparent);
        {
            QPainter p(&mask);
            p.setRenderHint(QPainter::Antialiasing);
            p.translate(-QPointF(area.topLeft()) + QPointF(style.x, style.y));
            p.fillPath(shape, Qt::white);
        }
        m_image = blurredWhite(mask, style.radius);
        {
            QPainter p(&m_image);
            p.setCompositionMode(QPainter::CompositionMode_SourceIn);
            p.fillRect(QRectF(QPointF(), QSizeF(area.size())), style.color);
        }
        m_at = area.topLeft();
        m_shape = shape;
        m_style = style;
        m_ratio = ratio;
    }
    // Only around the shape: under it the shape's own fill is drawn.
    painter.save();
    QPainterPath outside;
    outside.addRect(QRectF(m_at, QSizeF(m_image.size()) / ratio));
    painter.setClipPath(outside.subtracted(shape), Qt::IntersectClip);
    painter.drawImage(m_at, m_image);
    painter.restore();
}

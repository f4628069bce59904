#pragma once

#include "OrvellKitUI/Tokens.h"

#include <QImage>
#include <QMargins>
#include <QPainterPath>

class QPainter;

// A soft shadow under a shape, drawn from a blurred copy of it. The blur is
// kept until the shape, the style or the pixel ratio changes, so a window
// painted again at rest costs one image draw.
class DropShadow {
public:
    // The room the shadow takes around the shape's bounds.
    static QMargins bleed(const ShadowStyle &style);

    void paint(QPainter &painter, const QPainterPath &shape, const ShadowStyle &style);

private:
    QImage m_image;
    QPointF m_at;
    QPainterPath m_shape;
    ShadowStyle m_style;
    double m_ratio = 0;
};

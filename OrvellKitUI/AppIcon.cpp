#include "OrvellKitUI/AppIcon.h"

#include <QPainter>
#include <QPainterPath>

namespace AppIcon {

QPixmap pixmap(int size) {
    QPixmap out(size, size);
    out.fill(Qt::transparent);
    QPainter p(&out);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = size;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(236, 240, 247));
    p.drawRoundedRect(QRectF(0.04 * s, 0.04 * s, 0.92 * s, 0.92 * s), 0.22 * s, 0.22 * s);
    // The island: flush with the top edge, rounded below, with fillets.
    QPainterPath island;
    const double left = 0.2 * s, right = 0.8 * s, top = 0.04 * s, bottom = 0.5 * s, r = 0.1 * s;
    island.moveTo(left - 0.06 * s, top);
    island.lineTo(right + 0.06 * s, top);
    island.quadTo(right, top, right, top + 0.06 * s);
    island.lineTo(right, bottom - r);
    island.quadTo(right, bottom, right - r, bottom);
    island.lineTo(left + r, bottom);
    island.quadTo(left, bottom, left, bottom - r);
    island.lineTo(left, top + 0.06 * s);
    island.quadTo(left, top, left - 0.06 * s, top);
    island.closeSubpath();
    p.setBrush(Qt::black);
    p.drawPath(island);
    // The script's lines, the middle one lit.
    p.setBrush(QColor(255, 255, 255, 110));
    p.drawRoundedRect(QRectF(0.3 * s, 0.27 * s, 0.4 * s, 0.035 * s), 0.02 * s, 0.02 * s);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(0.27 * s, 0.35 * s, 0.46 * s, 0.035 * s), 0.02 * s, 0.02 * s);
    // The camera above it.
    p.setBrush(QColor(40, 44, 52));
    p.drawEllipse(QPointF(0.5 * s, 0.14 * s), 0.045 * s, 0.045 * s);
    p.setBrush(QColor(10, 132, 255));
    p.drawEllipse(QPointF(0.5 * s, 0.14 * s), 0.018 * s, 0.018 * s);
    return out;
}

QIcon icon() {
    QIcon out;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        out.addPixmap(pixmap(size));
    return out;
}

} // namespace AppIcon

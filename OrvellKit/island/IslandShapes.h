#pragma once

#include "island/IslandLayout.h"

#include <QPainterPath>
#include <QRectF>
#include <QSizeF>

// The island's drawn outline: the body with concave fillets where it meets
// the top edge of the display.
struct IslandSilhouette {
    double centerX = 0;
    double top = 0;
    QSizeF bodySize;
    double filletSize = 0;
    double bottomRadius = 0;
    double topRadius = 0;

    // The outline for a layout: full size while a reading is live, shrunk
    // into the camera housing while idle; fillets only when flush.
    static IslandSilhouette forLayout(const IslandLayout &layout, bool isLive, bool isDragging);

    QPainterPath path() const;

    bool operator==(const IslandSilhouette &) const = default;
};

// The body's own outline, with separate top and bottom corner radii.
struct IslandBodyShape {
    double bottomRadius = 0;
    double topRadius = 0;

    QPainterPath path(const QRectF &rect) const;
};

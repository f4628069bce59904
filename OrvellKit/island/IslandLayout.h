#pragma once

#include "island/IslandPlacement.h"
#include "island/NotchGeometry.h"

#include <QPainterPath>
#include <QPointF>
#include <QRectF>

// Where the island window goes and where its black body sits inside it.
// Window space has its origin at the window's top-left corner, y downwards.
struct IslandLayout {
    // The shadow margin plus one fillet: the body's left edge inside the window.
    static constexpr double bodyInset = 73;

    struct Config {
        double bodyWidth = 0;
        double coverHeight = 0;
        double scriptHeight = 0;
        IslandPlacement placement;
        bool operator==(const Config &) const = default;
    };

    QRectF windowFrame;               // global coordinates
    QPointF bodyOrigin{bodyInset, 0}; // window space
    double bodyWidth = 0;
    double bodyHeight = 0;
    double contentTopInset = 0; // the cover strip over the camera
    double cutoutHeight = 0;
    double cutoutWidth = 0;
    IslandPlacement placement; // as configured, unclamped
    double screenTopInset = 0; // display top edge down to the body's top
    double menuBarHeight = 0;

    static IslandLayout make(const Config &config, const NotchGeometry &geometry);
    // The body's x from the display's left edge and its distance below the top
    // edge, for an already bounded body size.
    static QPointF placementOrigin(double bodyWidth, double bodyHeight,
                                   const IslandPlacement &placement, const NotchGeometry &geometry);

    bool isFlush() const { return screenTopInset <= 0.5; }

    // The part of the window that takes clicks; everything else falls
    // through to the windows below. The body counts only while a reading is
    // live; the idle pill when it is asked for.
    QPainterPath hitTestPath(bool includeBody, bool includePill = false) const;
    // The idle island: the pill the body shrinks to between readings.
    QRectF pillRect() const;
    // The two control squares shown when the island is away from top centre.
    QRectF controlRect(int index) const;
    // Where the script is drawn, inside the body's padding.
    QRectF scriptArea() const;

    bool operator==(const IslandLayout &) const = default;
};

#pragma once

#include "island/ScreenFacts.h"

#include <QRectF>

// Where the camera housing is on a display, or where an assumed pill stands
// in for it on a display without one.
struct NotchGeometry {
    enum class Kind { hardwareNotch, synthesizedPill };

    Kind kind = Kind::synthesizedPill;
    QRectF screenFrame;
    // Its top edge is the display's top edge.
    QRectF cutoutRect;
    // The top panel's height on that display, never below the status bar thickness.
    double menuBarHeight = 0;

    static NotchGeometry measure(const ScreenFacts &screen, double pillWidth);

    bool operator==(const NotchGeometry &) const = default;
};

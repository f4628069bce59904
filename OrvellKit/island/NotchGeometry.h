#pragma once

#include "island/ScreenFacts.h"

#include <QRectF>

// Where the camera housing is on a display, or where an assumed pill stands
// in for it on a display without one.
struct NotchGeometry {
    enum class Kind { hardwareNotch, synthesizedPill };

    Kind kind = Kind::synthesizedPill;
    QRectF screenFrame;
    // Its top edge is the top of screenFrame.
    QRectF cutoutRect;
    // The top panel's height on that display, never below the status bar thickness.
    double menuBarHeight = 0;
    // Where the display has a top panel the island hangs below, its height:
    // screenFrame then starts under it, and a dragged island may go up onto it.
    double topPanel = 0;

    static NotchGeometry measure(const ScreenFacts &screen, double pillWidth);

    bool operator==(const NotchGeometry &) const = default;
};

#pragma once

#include <QRectF>
#include <QString>

// What the island needs to know about one display, in global desktop
// coordinates (logical pixels, y growing downwards). The platform layer fills
// it in; the geometry code never asks the windowing system itself.
struct ScreenFacts {
    QString name;        // the output's name, e.g. "eDP-1"
    QRectF frame;        // the whole display
    QRectF visibleFrame; // without the desktop's panels
    double statusBarThickness = 24;
    // The strips of the top edge left and right of a camera housing; empty
    // when the display reports none (every display on today's Linux desktops).
    QRectF auxiliaryTopLeftArea;
    QRectF auxiliaryTopRightArea;
    double safeAreaTopInset = 0;
    bool isBuiltIn = false;
};

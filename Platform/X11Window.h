#pragma once

#include <QRegion>
#include <QWindow>

// What the island needs from X11 beyond Qt: the input shape, and whether a
// compositor will blend translucent windows.
namespace X11Window {
bool isAvailable();
// A compositing manager owns the _NET_WM_CM_S<screen> selection.
bool hasCompositor();
// The part of the window that is drawn (without a compositor) and the part
// that takes clicks; both in the window's own logical coordinates. A null
// `bounding` leaves the drawn shape alone.
void setShapes(QWindow *window, const QRegion *bounding, const QRegion &input);
} // namespace X11Window

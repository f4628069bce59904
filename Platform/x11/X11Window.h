#pragma once

#include <QRegion>
#include <QWindow>

#include <functional>

struct xcb_connection_t;

// What the island needs from X11 beyond Qt: the input shape, and whether a
// compositor will blend translucent windows.
namespace X11Window {
bool isAvailable();
// Qt's connection to the X server; null on other platforms.
xcb_connection_t *connection();
// A compositing manager owns the _NET_WM_CM_S<screen> selection.
bool hasCompositor();
// The part of the window that is drawn (without a compositor) and the part
// that takes clicks; both in the window's own logical coordinates. A null
// `bounding` leaves the drawn shape alone.
void setShapes(QWindow *window, const QRegion *bounding, const QRegion &input);
// Whether a click outside a window's input shape reaches what lies below.
// On XWayland it does not: the Wayland compositor hands every click inside
// the X window's rectangle to X, where it lands on nothing.
bool inputShapesPassClicks();
// Keeps a window that bypasses the window manager above the others: each
// time another top-level window is mapped or restacked it is raised again.
// Costs nothing while the desktop's windows stay put.
void keepAbove(QWindow *window);
// Asked before each window is raised again; false puts it under the other
// windows instead (a full-screen window or a screen locker stays on top).
void setRaiseCondition(std::function<bool(QWindow *)> mayRaise);
// Restacks the kept windows now, by the condition.
void raiseKept();
// A managed window in the full-screen state covers part of `area` (device
// pixels of the root window); false without a window manager to say so.
bool fullScreenWindowOn(const QRect &area);
// The X server's screen saver (MIT-SCREEN-SAVER) is on.
bool screenSaverOn();
// Leaves a shown window out of the taskbar and the window switcher, or puts
// it back (the window manager's _NET_WM_STATE_SKIP_TASKBAR and _SKIP_PAGER).
void setSkipTaskbar(QWindow *window, bool skip);
} // namespace X11Window

#include "X11Window.h"

#include <QGuiApplication>

#include <xcb/shape.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

xcb_connection_t *connection()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

std::vector<xcb_rectangle_t> rectangles(const QRegion &region, double scale)
{
    std::vector<xcb_rectangle_t> out;
    for (const QRect &r : region) {
        const QRect d(QPoint(qRound(r.left() * scale), qRound(r.top() * scale)),
                      QPoint(qRound((r.right() + 1) * scale) - 1,
                             qRound((r.bottom() + 1) * scale) - 1));
        out.push_back({static_cast<int16_t>(d.x()), static_cast<int16_t>(d.y()),
                       static_cast<uint16_t>(d.width()), static_cast<uint16_t>(d.height())});
    }
    return out;
}

} // namespace

namespace X11Window {

bool isAvailable()
{
    return connection() != nullptr;
}

bool hasCompositor()
{
    xcb_connection_t *c = connection();
    if (!c)
        return false;
    const std::string name = "_NET_WM_CM_S0";
    xcb_intern_atom_reply_t *atom = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(name.size()), name.c_str()), nullptr);
    if (!atom)
        return false;
    xcb_get_selection_owner_reply_t *owner =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom->atom), nullptr);
    const bool owned = owner && owner->owner != XCB_NONE;
    std::free(owner);
    std::free(atom);
    return owned;
}

void setShapes(QWindow *window, const QRegion *bounding, const QRegion &input)
{
    xcb_connection_t *c = connection();
    if (!c || !window || !window->handle())
        return;
    const auto id = static_cast<xcb_window_t>(window->winId());
    const double scale = window->devicePixelRatio();
    if (bounding) {
        const auto rects = rectangles(*bounding, scale);
        xcb_shape_rectangles(c, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, XCB_CLIP_ORDERING_UNSORTED,
                             id, 0, 0, static_cast<uint32_t>(rects.size()), rects.data());
    }
    const auto rects = rectangles(input, scale);
    xcb_shape_rectangles(c, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, XCB_CLIP_ORDERING_UNSORTED, id,
                         0, 0, static_cast<uint32_t>(rects.size()), rects.data());
    xcb_flush(c);
}

} // namespace X11Window

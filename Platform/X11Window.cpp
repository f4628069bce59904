#include "X11Window.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QPointer>

#include <xcb/shape.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

xcb_connection_t *connection() {
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

std::vector<xcb_rectangle_t> rectangles(const QRegion &region, double scale) {
    std::vector<xcb_rectangle_t> out;
    for (const QRect &r : region) {
        const QRect d(
            QPoint(qRound(r.left() * scale), qRound(r.top() * scale)),
            QPoint(qRound((r.right() + 1) * scale) - 1, qRound((r.bottom() + 1) * scale) - 1));
        out.push_back({static_cast<int16_t>(d.x()), static_cast<int16_t>(d.y()),
                       static_cast<uint16_t>(d.width()), static_cast<uint16_t>(d.height())});
    }
    return out;
}

// Raises the kept windows again when another top-level window is mapped or
// restacked above them.
class KeepAbove : public QAbstractNativeEventFilter {
public:
    static KeepAbove &instance() {
        static KeepAbove filter;
        return filter;
    }

    void add(QWindow *window) {
        xcb_connection_t *c = connection();
        if (!c)
            return;
        if (!m_listening) {
            const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
            const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
            // Adding to the root's mask keeps what Qt selected there.
            xcb_get_window_attributes_reply_t *attrs =
                xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, root), nullptr);
            const uint32_t events = mask | (attrs ? attrs->your_event_mask : 0);
            std::free(attrs);
            xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &events);
            QCoreApplication::instance()->installNativeEventFilter(this);
            m_listening = true;
        }
        m_windows.push_back(window);
        raiseAll();
    }

    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override {
        if (type != "xcb_generic_event_t")
            return false;
        auto *event = static_cast<xcb_generic_event_t *>(message);
        const uint8_t kind = event->response_type & 0x7f;
        xcb_window_t changed = 0;
        if (kind == XCB_CONFIGURE_NOTIFY)
            changed = reinterpret_cast<xcb_configure_notify_event_t *>(event)->window;
        else if (kind == XCB_MAP_NOTIFY)
            changed = reinterpret_cast<xcb_map_notify_event_t *>(event)->window;
        else if (kind == XCB_REPARENT_NOTIFY) // a window manager leaving puts windows on top
            changed = reinterpret_cast<xcb_reparent_notify_event_t *>(event)->window;
        else if (kind == XCB_CIRCULATE_NOTIFY)
            changed = reinterpret_cast<xcb_circulate_notify_event_t *>(event)->window;
        else
            return false;
        for (const QPointer<QWindow> &w : m_windows) {
            if (w && w->handle() && static_cast<xcb_window_t>(w->winId()) == changed)
                return false; // our own restacking
        }
        raiseAll();
        return false;
    }

private:
    void raiseAll() {
        xcb_connection_t *c = connection();
        const uint32_t above = XCB_STACK_MODE_ABOVE;
        for (const QPointer<QWindow> &w : m_windows) {
            if (w && w->handle() && w->isVisible())
                xcb_configure_window(c, static_cast<xcb_window_t>(w->winId()),
                                     XCB_CONFIG_WINDOW_STACK_MODE, &above);
        }
        xcb_flush(c);
    }

    bool m_listening = false;
    std::vector<QPointer<QWindow>> m_windows;
};

} // namespace

namespace X11Window {

void keepAbove(QWindow *window) {
    if (window)
        KeepAbove::instance().add(window);
}

bool isAvailable() {
    return connection() != nullptr;
}

bool hasCompositor() {
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

void setShapes(QWindow *window, const QRegion *bounding, const QRegion &input) {
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
    xcb_shape_rectangles(c, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, XCB_CLIP_ORDERING_UNSORTED, id, 0,
                         0, static_cast<uint32_t>(rects.size()), rects.data());
    xcb_flush(c);
}

} // namespace X11Window

#include "Platform/x11/X11Window.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QPointer>

#include <xcb/screensaver.h>
#include <xcb/shape.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

xcb_connection_t *X11Window::connection() {
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

namespace {

using X11Window::connection;

// Whether the server offers an extension; a request to one it lacks is fatal.
bool hasExtension(xcb_connection_t *c, xcb_extension_t *extension) {
    const xcb_query_extension_reply_t *data = xcb_get_extension_data(c, extension);
    return data && data->present;
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

// Raises the kept windows again when another top-level window is mapped,
// restacked, unmapped or destroyed, or puts them under everything where they
// must not cover what is on top.
class KeepAbove : public QAbstractNativeEventFilter {
public:
    static KeepAbove &instance() {
        static KeepAbove filter;
        return filter;
    }

    std::function<bool(QWindow *)> mayRaise;

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
        else if (kind == XCB_UNMAP_NOTIFY) // a full-screen window or a locker went away
            changed = reinterpret_cast<xcb_unmap_notify_event_t *>(event)->window;
        else if (kind == XCB_DESTROY_NOTIFY)
            changed = reinterpret_cast<xcb_destroy_notify_event_t *>(event)->window;
        else
            return false;
        // Our own restacking, or a window of ours (a menu, a tooltip, a
        // dialog) coming up: it is meant to be seen above the island and the deck.
        for (const QWindow *w : QGuiApplication::allWindows()) {
            if (w->handle() && static_cast<xcb_window_t>(w->winId()) == changed)
                return false;
        }
        raiseAll();
        return false;
    }

    // On top where the condition allows; where it does not (a full-screen
    // window, a locker), at the bottom, so that window is never covered.
    void raiseAll() {
        xcb_connection_t *c = connection();
        if (!c)
            return;
        for (const QPointer<QWindow> &w : m_windows) {
            if (!w || !w->handle() || !w->isVisible())
                continue;
            const uint32_t mode =
                !mayRaise || mayRaise(w) ? XCB_STACK_MODE_ABOVE : XCB_STACK_MODE_BELOW;
            xcb_configure_window(c, static_cast<xcb_window_t>(w->winId()),
                                 XCB_CONFIG_WINDOW_STACK_MODE, &mode);
        }
        // A menu or tooltip of ours that is open stays above what was just raised.
        for (const QWindow *w : QGuiApplication::allWindows()) {
            const Qt::WindowType type = w->type();
            if (!w->handle() || !w->isVisible() || (type != Qt::Popup && type != Qt::ToolTip))
                continue;
            const uint32_t above = XCB_STACK_MODE_ABOVE;
            xcb_configure_window(c, static_cast<xcb_window_t>(w->winId()),
                                 XCB_CONFIG_WINDOW_STACK_MODE, &above);
        }
        xcb_flush(c);
    }

private:
    bool m_listening = false;
    std::vector<QPointer<QWindow>> m_windows;
};

} // namespace

namespace X11Window {

void keepAbove(QWindow *window) {
    if (window)
        KeepAbove::instance().add(window);
}

void setRaiseCondition(std::function<bool(QWindow *)> mayRaise) {
    KeepAbove::instance().mayRaise = std::move(mayRaise);
}

void raiseKept() {
    KeepAbove::instance().raiseAll();
}

bool isAvailable() {
    return connection() != nullptr;
}

namespace {

xcb_atom_t atom(xcb_connection_t *c, const char *name) {
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = reply ? reply->atom : XCB_NONE;
    std::free(reply);
    return a;
}

// A window property's 32-bit values.
std::vector<uint32_t> values(xcb_connection_t *c, xcb_window_t window, xcb_atom_t property,
                             xcb_atom_t type) {
    xcb_get_property_reply_t *reply =
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, property, type, 0, 4096), nullptr);
    std::vector<uint32_t> out;
    if (reply && reply->format == 32) {
        const auto *data = static_cast<const uint32_t *>(xcb_get_property_value(reply));
        out.assign(data, data + xcb_get_property_value_length(reply) / 4);
    }
    std::free(reply);
    return out;
}

} // namespace

bool fullScreenWindowOn(const QRect &area) {
    xcb_connection_t *c = connection();
    if (!c)
        return false;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const xcb_atom_t state = atom(c, "_NET_WM_STATE");
    const xcb_atom_t fullScreen = atom(c, "_NET_WM_STATE_FULLSCREEN");
    const xcb_atom_t hidden = atom(c, "_NET_WM_STATE_HIDDEN");
    for (const uint32_t client : values(c, root, atom(c, "_NET_CLIENT_LIST"), XCB_ATOM_WINDOW)) {
        const auto states = values(c, client, state, XCB_ATOM_ATOM);
        const auto has = [&](xcb_atom_t a) {
            return std::find(states.begin(), states.end(), a) != states.end();
        };
        if (!has(fullScreen) || has(hidden))
            continue;
        xcb_get_geometry_reply_t *geometry =
            xcb_get_geometry_reply(c, xcb_get_geometry(c, client), nullptr);
        xcb_translate_coordinates_reply_t *at = xcb_translate_coordinates_reply(
            c, xcb_translate_coordinates(c, client, root, 0, 0), nullptr);
        const bool covers =
            geometry && at &&
            QRect(at->dst_x, at->dst_y, geometry->width, geometry->height).intersects(area);
        std::free(geometry);
        std::free(at);
        if (covers)
            return true;
    }
    return false;
}

bool screenSaverOn() {
    xcb_connection_t *c = connection();
    // XWayland has no MIT-SCREEN-SAVER: a request to a missing extension
    // ends the whole connection, and with it the app.
    if (!c || !hasExtension(c, &xcb_screensaver_id))
        return false;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_screensaver_query_info_reply_t *info =
        xcb_screensaver_query_info_reply(c, xcb_screensaver_query_info(c, root), nullptr);
    const bool on = info && info->state == XCB_SCREENSAVER_STATE_ON;
    std::free(info);
    return on;
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
    if (!c || !window || !window->handle() || !hasExtension(c, &xcb_shape_id))
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

bool inputShapesPassClicks() {
    return isAvailable() && !qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
}

void setSkipTaskbar(QWindow *window, bool skip) {
    xcb_connection_t *c = connection();
    if (!c || !window || !window->handle())
        return;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = static_cast<xcb_window_t>(window->winId());
    message.type = atom(c, "_NET_WM_STATE");
    message.data.data32[0] = skip ? 1 : 0; // add or remove
    message.data.data32[1] = atom(c, "_NET_WM_STATE_SKIP_TASKBAR");
    message.data.data32[2] = atom(c, "_NET_WM_STATE_SKIP_PAGER");
    message.data.data32[3] = 1; // from an application
    xcb_send_event(c, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char *>(&message));
    xcb_flush(c);
}

} // namespace X11Window

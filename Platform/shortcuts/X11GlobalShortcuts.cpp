#include "Platform/shortcuts/X11GlobalShortcuts.h"

#include "commands/KeyCodes.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLoggingCategory>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <cstdlib>

Q_LOGGING_CATEGORY(lcShortcuts, "org.orvell.Orvell.HotKeys.X11")

namespace {

constexpr quint16 relevantModifiers =
    XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;
// CapsLock and NumLock (Mod2 on every common keymap).
constexpr quint16 lockVariants[] = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2,
                                    XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};

} // namespace

X11GlobalShortcuts::X11GlobalShortcuts(xcb_connection_t *connection, QObject *parent)
    : GlobalShortcuts(parent)
    , m_connection(connection)
    , m_symbols(xcb_key_symbols_alloc(connection)) {
    const xcb_setup_t *setup = xcb_get_setup(connection);
    m_root = xcb_setup_roots_iterator(setup).data->root;
    QCoreApplication::instance()->installNativeEventFilter(this);
}

bool X11GlobalShortcuts::keyboardHeldElsewhere() const {
    // The only way X tells: try to take the keyboard and let go at once.
    xcb_grab_keyboard_cookie_t cookie = xcb_grab_keyboard(m_connection, 0, m_root, XCB_CURRENT_TIME,
                                                          XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    xcb_grab_keyboard_reply_t *reply = xcb_grab_keyboard_reply(m_connection, cookie, nullptr);
    if (!reply)
        return false;
    const quint8 status = reply->status;
    free(reply);
    if (status == XCB_GRAB_STATUS_SUCCESS) {
        xcb_ungrab_keyboard(m_connection, XCB_CURRENT_TIME);
        xcb_flush(m_connection);
    }
    return status == XCB_GRAB_STATUS_ALREADY_GRABBED || status == XCB_GRAB_STATUS_FROZEN;
}

X11GlobalShortcuts::~X11GlobalShortcuts() {
    QCoreApplication::instance()->removeNativeEventFilter(this);
    for (const auto &[id, grabs] : m_grabs)
        for (const Grab &g : grabs)
            ungrabOne(g);
    xcb_flush(m_connection);
    xcb_key_symbols_free(m_symbols);
}

quint32 X11GlobalShortcuts::keysymFor(quint16 keyCode) {
    const ShortcutKey *key = KeyCodes::find(keyCode);
    return key ? key->keysym : 0;
}

quint16 X11GlobalShortcuts::modifierMaskFor(quint64 flags) {
    quint16 mask = 0;
    if (flags & HotKeyBinding::shift)
        mask |= XCB_MOD_MASK_SHIFT;
    if (flags & HotKeyBinding::control)
        mask |= XCB_MOD_MASK_CONTROL;
    if (flags & HotKeyBinding::option)
        mask |= XCB_MOD_MASK_1;
    if (flags & HotKeyBinding::command)
        mask |= XCB_MOD_MASK_4;
    return mask;
}

bool X11GlobalShortcuts::grabOne(quint8 keycode, quint16 modifiers, int *status) {
    const xcb_void_cookie_t cookie = xcb_grab_key_checked(
        m_connection, 1, m_root, modifiers, keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    if (xcb_generic_error_t *error = xcb_request_check(m_connection, cookie)) {
        if (status)
            *status = error->error_code;
        std::free(error);
        return false;
    }
    return true;
}

void X11GlobalShortcuts::ungrabOne(const Grab &g) {
    xcb_ungrab_key(m_connection, g.keycode, m_root, g.modifiers);
}

GlobalShortcuts::Failure X11GlobalShortcuts::grab(quint32 id, const Shortcut &shortcut,
                                                  int *status) {
    const HotKeyBinding &binding = shortcut.binding;
    const quint32 keysym = keysymFor(binding.keyCode);
    xcb_keycode_t *codes = keysym ? xcb_key_symbols_get_keycode(m_symbols, keysym) : nullptr;
    if (!codes || codes[0] == XCB_NO_SYMBOL) {
        std::free(codes);
        if (status)
            *status = 0;
        return Failure::unavailable;
    }
    const quint8 keycode = codes[0];
    std::free(codes);

    const quint16 base = modifierMaskFor(binding.modifierFlags);
    std::vector<Grab> done;
    for (quint16 lock : lockVariants) {
        if (!grabOne(keycode, base | lock, status)) {
            for (const Grab &g : done)
                ungrabOne(g);
            xcb_flush(m_connection);
            return Failure::inUseByAnotherApp;
        }
        done.push_back({keycode, static_cast<quint16>(base | lock)});
    }
    m_grabs[id] = std::move(done);
    return Failure::none;
}

void X11GlobalShortcuts::release(quint32 id) {
    auto it = m_grabs.find(id);
    if (it == m_grabs.end())
        return;
    for (const Grab &g : it->second)
        ungrabOne(g);
    m_grabs.erase(it);
    xcb_flush(m_connection);
}

bool X11GlobalShortcuts::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) {
    if (eventType != "xcb_generic_event_t")
        return false;
    auto *event = static_cast<xcb_generic_event_t *>(message);
    const quint8 type = event->response_type & 0x7f;
    if (type == XCB_KEY_RELEASE) {
        auto *release = reinterpret_cast<xcb_key_release_event_t *>(event);
        if (release->event == m_root)
            m_lastRelease[release->detail] = release->time;
        return false;
    }
    if (type != XCB_KEY_PRESS)
        return false;
    auto *press = reinterpret_cast<xcb_key_press_event_t *>(event);
    if (press->event != m_root)
        return false;
    if (auto it = m_lastRelease.find(press->detail);
        it != m_lastRelease.end() && it->second == press->time)
        return true; // auto-repeat
    const quint16 modifiers = press->state & relevantModifiers;
    for (const auto &[id, grabs] : m_grabs) {
        for (const Grab &g : grabs) {
            if (g.keycode == press->detail && (g.modifiers & relevantModifiers) == modifiers) {
                emit activated(id);
                return true;
            }
        }
    }
    return false;
}

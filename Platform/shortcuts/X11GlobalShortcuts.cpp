#include "Platform/shortcuts/X11GlobalShortcuts.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLoggingCategory>

#include <X11/keysym.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <cstdlib>

Q_LOGGING_CATEGORY(lcShortcuts, "org.orvell.Orvell.HotKeys.X11")

namespace {

struct KeyMap {
    quint16 code;
    quint32 keysym;
};

// The stored key codes (US layout positions) and the X keysyms they mean.
constexpr KeyMap keyMap[] = {
    {49, XK_space},
    {36, XK_Return},
    {76, XK_KP_Enter},
    {48, XK_Tab},
    {51, XK_BackSpace},
    {117, XK_Delete},
    {53, XK_Escape},
    {123, XK_Left},
    {124, XK_Right},
    {126, XK_Up},
    {125, XK_Down},
    {115, XK_Home},
    {119, XK_End},
    {116, XK_Prior},
    {121, XK_Next},
    {114, XK_Help},
    {122, XK_F1},
    {120, XK_F2},
    {99, XK_F3},
    {118, XK_F4},
    {96, XK_F5},
    {97, XK_F6},
    {98, XK_F7},
    {100, XK_F8},
    {101, XK_F9},
    {109, XK_F10},
    {103, XK_F11},
    {111, XK_F12},
    {105, XK_F13},
    {107, XK_F14},
    {113, XK_F15},
    {106, XK_F16},
    {64, XK_F17},
    {79, XK_F18},
    {80, XK_F19},
    {90, XK_F20},
    {0, XK_a},
    {11, XK_b},
    {8, XK_c},
    {2, XK_d},
    {14, XK_e},
    {3, XK_f},
    {5, XK_g},
    {4, XK_h},
    {34, XK_i},
    {38, XK_j},
    {40, XK_k},
    {37, XK_l},
    {46, XK_m},
    {45, XK_n},
    {31, XK_o},
    {35, XK_p},
    {12, XK_q},
    {15, XK_r},
    {1, XK_s},
    {17, XK_t},
    {32, XK_u},
    {9, XK_v},
    {13, XK_w},
    {7, XK_x},
    {16, XK_y},
    {6, XK_z},
    {29, XK_0},
    {18, XK_1},
    {19, XK_2},
    {20, XK_3},
    {21, XK_4},
    {23, XK_5},
    {22, XK_6},
    {26, XK_7},
    {28, XK_8},
    {25, XK_9},
    {27, XK_minus},
    {24, XK_equal},
    {33, XK_bracketleft},
    {30, XK_bracketright},
    {42, XK_backslash},
    {41, XK_semicolon},
    {39, XK_apostrophe},
    {43, XK_comma},
    {47, XK_period},
    {44, XK_slash},
    {50, XK_grave},
};

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
    for (const KeyMap &k : keyMap) {
        if (k.code == keyCode)
            return k.keysym;
    }
    return 0;
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

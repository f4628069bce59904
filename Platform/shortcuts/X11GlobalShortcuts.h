#pragma once

#include "Platform/shortcuts/GlobalShortcuts.h"

#include <QAbstractNativeEventFilter>

#include <map>
#include <vector>

struct xcb_connection_t;
struct _XCBKeySymbols;

// Shortcuts as key grabs on the X11 root window. Each combination is also
// grabbed with NumLock and CapsLock on, so those locks do not disable it. A
// combination another client holds answers BadAccess.
class X11GlobalShortcuts : public GlobalShortcuts, public QAbstractNativeEventFilter {
public:
    // Error code of a grab another client already holds.
    static constexpr int badAccess = 10;

    explicit X11GlobalShortcuts(xcb_connection_t *connection, QObject *parent = nullptr);
    ~X11GlobalShortcuts() override;

    Failure grab(quint32 id, const Shortcut &shortcut, int *status) override;
    void release(quint32 id) override;
    Kind kind() const override { return Kind::x11Grabs; }
    bool keyboardHeldElsewhere() const override;

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

    // The X keysym of a key code of the stored code space; 0 when unknown.
    static quint32 keysymFor(quint16 keyCode);
    // The X modifier mask of the stored modifier flags.
    static quint16 modifierMaskFor(quint64 modifierFlags);

private:
    struct Grab {
        quint8 keycode;
        quint16 modifiers;
    };

    bool grabOne(quint8 keycode, quint16 modifiers, int *status);
    void ungrabOne(const Grab &g);

    xcb_connection_t *m_connection;
    _XCBKeySymbols *m_symbols;
    quint32 m_root = 0;
    std::map<quint32, std::vector<Grab>> m_grabs; // by id
    // Key repeat sends release and press with one timestamp; such a press is not a new one.
    std::map<quint8, quint32> m_lastRelease;
};

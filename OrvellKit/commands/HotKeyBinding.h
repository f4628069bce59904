#pragma once

#include "commands/HotKeyAction.h"

#include <QByteArray>
#include <QString>
#include <Qt>

#include <map>
#include <optional>

// A shortcut: a key and modifiers in the portable code space the stored
// bindings use (the virtual key codes and modifier bits of the description),
// which the platform layer maps to the desktop's own keys.
struct HotKeyBinding {
    static constexpr quint64 shift = 0x20000;
    static constexpr quint64 control = 0x40000;
    static constexpr quint64 option = 0x80000;   // Alt
    static constexpr quint64 command = 0x100000; // Super
    // Control, Option and Command: the defaults' modifiers, and one of them is required.
    static constexpr quint64 commandKeys = control | option | command;

    quint16 keyCode = 0;
    quint64 modifierFlags = 0;

    static HotKeyBinding defaultFor(HotKeyAction action);

    // Same key and same modifiers, other bits ignored.
    bool sameCombination(const HotKeyBinding &other) const;

    // "Ctrl+Alt+Super+Space": Ctrl, Alt, Shift, Super in that order, then the key.
    QString displayString() const;

    // The stored JSON: {"playPause": {"keyCode": 49, "modifierFlags": 1835008}, ...}.
    // Unknown commands are dropped; data that does not decode gives nothing.
    static QByteArray encode(const std::map<HotKeyAction, HotKeyBinding> &bindings);
    static std::map<HotKeyAction, HotKeyBinding> decode(const QByteArray &json);

    // A key press as Qt reports it: the key (shifted symbols read as the key
    // that carries them on a US layout) and the modifiers; nothing for a key
    // no binding can name, or a modifier pressed alone.
    static std::optional<HotKeyBinding> fromQt(int qtKey, Qt::KeyboardModifiers modifiers);

    bool operator==(const HotKeyBinding &) const = default;
};

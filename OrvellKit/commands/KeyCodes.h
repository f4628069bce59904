#pragma once

#include <QString>
#include <QtGlobal>

// The one table of keys a shortcut can use: each stored key code with its
// display text, its xkb keysym name (what GNOME, the portal, sway and
// Hyprland write), its X keysym (what an X grab asks for) and Qt's key.
struct ShortcutKey {
    quint16 code;
    const char *display; // "Space", "\u2191", "R"
    const char *xkb;     // "space", "Up", "r"
    quint32 keysym;
    int qtKey;
};

namespace KeyCodes {
// Null for a code outside the table.
const ShortcutKey *find(quint16 code);
// Qt's key for a key press, shifted symbols included ("?" is the slash key).
const ShortcutKey *fromQtKey(int qtKey);
// "Key 200" for a code outside the table, so a hand-edited binding still shows.
QString display(quint16 code);
// Empty for a code outside the table.
QString xkb(quint16 code);
} // namespace KeyCodes

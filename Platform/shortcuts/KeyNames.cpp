#include "Platform/shortcuts/KeyNames.h"

#include "commands/KeyCodes.h"

#include <QStringList>

namespace KeyNames {

namespace {

// The binding in one tool's words: its names for Control, Alt, Shift and
// Super joined by `between`, then `beforeKey` and the key. `beforeKey` is
// left out without modifiers unless the tool wants the empty field.
QString chord(const HotKeyBinding &b, const char *ctrl, const char *alt, const char *shift,
              const char *super, const QString &between, const QString &beforeKey,
              bool emptyModifiersField = false) {
    const QString key = KeyCodes::xkb(b.keyCode);
    if (key.isEmpty())
        return QString();
    QStringList parts;
    if (b.modifierFlags & HotKeyBinding::control)
        parts << QString::fromLatin1(ctrl);
    if (b.modifierFlags & HotKeyBinding::option)
        parts << QString::fromLatin1(alt);
    if (b.modifierFlags & HotKeyBinding::shift)
        parts << QString::fromLatin1(shift);
    if (b.modifierFlags & HotKeyBinding::command)
        parts << QString::fromLatin1(super);
    if (parts.isEmpty() && !emptyModifiersField)
        return key;
    return parts.join(between) + beforeKey + key;
}

} // namespace

QString portalTrigger(const HotKeyBinding &b) {
    return chord(b, "CTRL", "ALT", "SHIFT", "LOGO", QStringLiteral("+"), QStringLiteral("+"));
}

QString gnomeAccelerator(const HotKeyBinding &b) {
    return chord(b, "<Control>", "<Alt>", "<Shift>", "<Super>", QString(), QString());
}

QString swayKeys(const HotKeyBinding &b) {
    return chord(b, "Ctrl", "Mod1", "Shift", "Mod4", QStringLiteral("+"), QStringLiteral("+"));
}

QString hyprlandKeys(const HotKeyBinding &b) {
    return chord(b, "CTRL", "ALT", "SHIFT", "SUPER", QStringLiteral(" "), QStringLiteral(", "),
                 true);
}

} // namespace KeyNames

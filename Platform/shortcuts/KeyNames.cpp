#include "Platform/shortcuts/KeyNames.h"

#include <QStringList>

#include <utility>

namespace KeyNames {

QString xkb(quint16 code) {
    static const std::pair<quint16, const char *> named[] = {
        {49, "space"},     {36, "Return"},    {76, "KP_Enter"},    {48, "Tab"},
        {51, "BackSpace"}, {117, "Delete"},   {53, "Escape"},      {123, "Left"},
        {124, "Right"},    {126, "Up"},       {125, "Down"},       {115, "Home"},
        {119, "End"},      {116, "Page_Up"},  {121, "Page_Down"},  {114, "Help"},
        {27, "minus"},     {24, "equal"},     {33, "bracketleft"}, {30, "bracketright"},
        {42, "backslash"}, {41, "semicolon"}, {39, "apostrophe"},  {43, "comma"},
        {47, "period"},    {44, "slash"},     {50, "grave"},
    };
    for (const auto &[c, name] : named)
        if (c == code)
            return QString::fromLatin1(name);
    const QString name = HotKeyBinding::keyName(code);
    if (name.size() == 1 && name.at(0).isLetterOrNumber())
        return name.toLower();
    if (name.size() >= 2 && name.at(0) == QLatin1Char('F') && name.mid(1).toInt() > 0)
        return name;
    return QString();
}

namespace {

// The binding in one tool's words: its names for Control, Alt, Shift and
// Super joined by `between`, then `beforeKey` and the key. `beforeKey` is
// left out without modifiers unless the tool wants the empty field.
QString chord(const HotKeyBinding &b, const char *ctrl, const char *alt, const char *shift,
              const char *super, const QString &between, const QString &beforeKey,
              bool emptyModifiersField = false) {
    const QString key = xkb(b.keyCode);
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

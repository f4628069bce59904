#pragma once

#include "base/EnumNames.h"

// The settings destinations of the library window's sidebar, in this order.
enum class SettingsPane { general, appearance, shortcuts };

namespace SettingsPanes {
inline constexpr EnumName<SettingsPane> rows[] = {
    {SettingsPane::general, "general", "General"},
    {SettingsPane::appearance, "appearance", "Appearance"},
    {SettingsPane::shortcuts, "shortcuts", "Shortcuts"},
};
inline constexpr EnumNames names{rows};

// The freedesktop icon names closest to a gear, a text size and a keyboard.
inline QString iconName(SettingsPane pane) {
    switch (pane) {
    case SettingsPane::general:
        return QStringLiteral("preferences-system");
    case SettingsPane::appearance:
        return QStringLiteral("preferences-desktop-font");
    case SettingsPane::shortcuts:
        break;
    }
    return QStringLiteral("preferences-desktop-keyboard");
}
} // namespace SettingsPanes

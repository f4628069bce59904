#pragma once

#include <QList>
#include <QString>

// The settings destinations of the library window's sidebar, in this order.
enum class SettingsPane { general, appearance, shortcuts };

namespace SettingsPanes {
inline QList<SettingsPane> allCases() {
    return {SettingsPane::general, SettingsPane::appearance, SettingsPane::shortcuts};
}
inline QString rawValue(SettingsPane pane) {
    switch (pane) {
    case SettingsPane::general:
        return QStringLiteral("general");
    case SettingsPane::appearance:
        return QStringLiteral("appearance");
    case SettingsPane::shortcuts:
        break;
    }
    return QStringLiteral("shortcuts");
}
inline QString title(SettingsPane pane) {
    switch (pane) {
    case SettingsPane::general:
        return QStringLiteral("General");
    case SettingsPane::appearance:
        return QStringLiteral("Appearance");
    case SettingsPane::shortcuts:
        break;
    }
    return QStringLiteral("Shortcuts");
}
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

#pragma once

#include <QList>
#include <QString>

#include <optional>

// The seven prompter commands every shortcut, button and menu item speaks.
enum class HotKeyAction {
    playPause,
    speedUp,
    speedDown,
    restart,
    toggleIsland,
    toggleControlDeck,
    toggleVoiceFollow
};

namespace HotKeyActions {
// In declaration order.
QList<HotKeyAction> allCases();
// The case name; also the key its shortcut is stored under.
QString rawValue(HotKeyAction action);
std::optional<HotKeyAction> fromRawValue(const QString &name);
// The method that carries it out on the session bus: "PlayPause".
QString busMethod(HotKeyAction action);
QString title(HotKeyAction action);
// The speed commands own a second shortcut with Shift added.
bool supportsShift(HotKeyAction action);
} // namespace HotKeyActions

#pragma once

#include "base/EnumNames.h"

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
// In declaration order. The name is also the key its shortcut is stored
// under and the word `orvell-cli send` takes.
inline constexpr EnumName<HotKeyAction> rows[] = {
    {HotKeyAction::playPause, "playPause", "Play / Pause"},
    {HotKeyAction::speedUp, "speedUp", "Speed Up"},
    {HotKeyAction::speedDown, "speedDown", "Speed Down"},
    {HotKeyAction::restart, "restart", "Restart Script"},
    {HotKeyAction::toggleIsland, "toggleIsland", "Show / Hide Island"},
    {HotKeyAction::toggleControlDeck, "toggleControlDeck", "Show / Hide Controls"},
    {HotKeyAction::toggleVoiceFollow, "toggleVoiceFollow", "Voice Follow On / Off"},
};
inline constexpr EnumNames names{rows};
// The method that carries it out on the session bus: "PlayPause".
QString busMethod(HotKeyAction action);
// The speed commands own a second shortcut with Shift added.
bool supportsShift(HotKeyAction action);
} // namespace HotKeyActions

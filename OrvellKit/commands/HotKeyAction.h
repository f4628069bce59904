#pragma once

#include "base/EnumNames.h"

#include <QString>

#include <optional>

// The prompter commands every shortcut, button and menu item speaks.
enum class HotKeyAction {
    playPause,
    speedUp,
    speedDown,
    speedUpMore,
    speedDownMore,
    restart,
    toggleIsland,
    toggleControlDeck,
    toggleVoiceFollow,
    nextSection,
    previousSection
};

namespace HotKeyActions {
// In declaration order. The name is also the key its shortcut is stored
// under and the word `orvell-cli send` takes.
inline constexpr EnumName<HotKeyAction> rows[] = {
    {HotKeyAction::playPause, "playPause", "Play / Pause"},
    {HotKeyAction::speedUp, "speedUp", "Speed Up"},
    {HotKeyAction::speedDown, "speedDown", "Speed Down"},
    // The bigger steps are commands of their own: the portal and the
    // desktops' own key settings bind one chord to one command, so "the
    // same key with Shift" cannot be a variant there.
    {HotKeyAction::speedUpMore, "speedUpMore", "Speed Up More"},
    {HotKeyAction::speedDownMore, "speedDownMore", "Speed Down More"},
    {HotKeyAction::restart, "restart", "Restart Script"},
    {HotKeyAction::toggleIsland, "toggleIsland", "Show / Hide Island"},
    {HotKeyAction::toggleControlDeck, "toggleControlDeck", "Show / Hide Controls"},
    {HotKeyAction::toggleVoiceFollow, "toggleVoiceFollow", "Voice Follow On / Off"},
    // To the next or previous heading ("# …" line); by paragraph in a
    // script without headings.
    {HotKeyAction::nextSection, "nextSection", "Next Section"},
    {HotKeyAction::previousSection, "previousSection", "Previous Section"},
};
inline constexpr EnumNames names{rows};
// The method that carries it out on the session bus: "PlayPause".
QString busMethod(HotKeyAction action);
} // namespace HotKeyActions

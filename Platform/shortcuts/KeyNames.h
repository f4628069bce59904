#pragma once

#include "commands/HotKeyBinding.h"

#include <QString>

// A binding as each desktop writes it down. The key is named by its xkb
// keysym name ("space", "Up", "r"); empty when a desktop has no name for it.
namespace KeyNames {
// The desktop portal's trigger strings: "CTRL+ALT+LOGO+space".
QString portalTrigger(const HotKeyBinding &binding);
// GNOME's accelerators: "<Control><Alt><Super>space".
QString gnomeAccelerator(const HotKeyBinding &binding);
// sway's bindsym: "Ctrl+Mod1+Mod4+space".
QString swayKeys(const HotKeyBinding &binding);
// Hyprland's bind: "CTRL ALT SUPER, space".
QString hyprlandKeys(const HotKeyBinding &binding);
} // namespace KeyNames

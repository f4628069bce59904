#pragma once

class QWidget;
class SettingsStore;

// Keeping windows out of screenshots and screen sharing. No X11 or Wayland
// desktop offers that to applications today, so the shield reports itself
// unavailable and nothing in Orvell may promise that captures miss the island.
namespace CaptureShield {
bool isAvailable();
void harden(QWidget *window, SettingsStore &store);
// Every top-level window of the app, as the periodic sweep does.
void sweep(SettingsStore &store);
} // namespace CaptureShield

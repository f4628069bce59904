#pragma once

// Keeping windows out of screenshots and screen sharing. No X11 or Wayland
// desktop offers that to applications today, so nothing in Orvell may
// promise that captures miss the island; the texts that mention capture
// ask here first.
namespace CaptureShield {
constexpr bool isAvailable() {
    return false;
}
} // namespace CaptureShield

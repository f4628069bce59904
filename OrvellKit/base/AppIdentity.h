#pragma once

#include <QLatin1StringView>

namespace AppIdentity {
// The reverse-DNS name that names the settings file, the data folder, the
// autostart entry and the log categories.
inline constexpr QLatin1StringView appId{"org.orvell.Orvell"};
inline constexpr QLatin1StringView displayName{"Orvell"};
// The running app on the session bus: the service and interface are named
// `appId`, the object lives at `busPath`.
inline constexpr QLatin1StringView busPath{"/org/orvell/Orvell"};
} // namespace AppIdentity

#pragma once

#include <QLatin1StringView>

namespace AppIdentity {
// The reverse-DNS name that names the settings file, the data folder, the
// autostart entry and the log categories.
inline constexpr QLatin1StringView appId{"org.orvell.Orvell"};
inline constexpr QLatin1StringView displayName{"Orvell"};
} // namespace AppIdentity

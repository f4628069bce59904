#pragma once

#include <QString>

namespace AppPaths {
// The folder that holds the library and the rhythm cache (normally
// ~/.local/share/org.orvell.Orvell); empty where the system names none.
QString applicationSupportRoot();
} // namespace AppPaths

#pragma once

#include "island/ScreenFacts.h"

class QScreen;

// Screen facts from Qt's view of the desktop.
namespace QtScreens {
// Laptop panels are connected through eDP, LVDS or DSI.
bool isBuiltInOutput(const QString &outputName);
ScreenFacts facts(const QScreen *screen);
} // namespace QtScreens

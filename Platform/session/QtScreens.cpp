#include "Platform/session/QtScreens.h"

#include <QScreen>

namespace QtScreens {

bool isBuiltInOutput(const QString &outputName) {
    for (const char *prefix : {"eDP", "LVDS", "DSI"}) {
        if (outputName.startsWith(QLatin1StringView(prefix), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

ScreenFacts facts(const QScreen *screen) {
    ScreenFacts f;
    f.name = screen->name();
    f.frame = screen->geometry();
    f.visibleFrame = screen->availableGeometry();
    f.statusBarThickness = 24;
    // No Linux desktop reports a camera housing yet: the auxiliary areas stay
    // empty and every display gets the synthesized pill.
    f.isBuiltIn = isBuiltInOutput(f.name);
    f.manufacturer = screen->manufacturer().trimmed();
    f.model = screen->model().trimmed();
    f.serial = screen->serialNumber().trimmed();
    return f;
}

} // namespace QtScreens

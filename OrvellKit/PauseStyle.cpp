#include "PauseStyle.h"

namespace PauseStyles {

QString rawValue(PauseStyle style) {
    switch (style) {
    case PauseStyle::subtle:
        return QStringLiteral("subtle");
    case PauseStyle::generous:
        return QStringLiteral("generous");
    case PauseStyle::natural:
        break;
    }
    return QStringLiteral("natural");
}

PauseStyle fromRawValue(const QString &name) {
    if (name == QLatin1StringView("subtle"))
        return PauseStyle::subtle;
    if (name == QLatin1StringView("generous"))
        return PauseStyle::generous;
    return PauseStyle::natural;
}

} // namespace PauseStyles

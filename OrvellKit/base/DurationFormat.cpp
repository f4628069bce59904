#include "base/DurationFormat.h"

#include <cmath>

namespace DurationFormat {

qint64 roundedSeconds(double seconds) {
    const double r = std::round(seconds);
    // 9.2e18 is just below 2^63; anything beyond is a corrupted value, not a duration.
    if (!std::isfinite(r) || std::fabs(r) > 9.2e18)
        return 0;
    return static_cast<qint64>(r);
}

static QString signPrefix(qint64 s) {
    return s < 0 ? QStringLiteral("-") : QString();
}

QString minutesSeconds(double seconds) {
    const qint64 s = roundedSeconds(seconds);
    const qint64 a = s < 0 ? -s : s;
    return signPrefix(s) + QStringLiteral("%1:%2").arg(a / 60).arg(a % 60, 2, 10, QLatin1Char('0'));
}

QString hoursMinutesSeconds(double seconds) {
    const qint64 s = roundedSeconds(seconds);
    const qint64 a = s < 0 ? -s : s;
    if (a < 3600)
        return minutesSeconds(seconds);
    return signPrefix(s) + QStringLiteral("%1:%2:%3")
                               .arg(a / 3600)
                               .arg(a / 60 % 60, 2, 10, QLatin1Char('0'))
                               .arg(a % 60, 2, 10, QLatin1Char('0'));
}

} // namespace DurationFormat

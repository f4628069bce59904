#include "base/IsoDate.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QTimeZone>

#include <cmath>

namespace IsoDate {

static QDateTime utc(double seconds) {
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(std::llround(seconds * 1000)),
                                          QTimeZone::utc());
}

QString toString(double seconds) {
    return utc(seconds).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) + QLatin1Char('Z');
}

std::optional<double> fromString(const QString &text) {
    static const QRegularExpression pattern(QStringLiteral(
        R"(^(\d{4})-(\d{2})-(\d{2})[Tt](\d{2}):(\d{2}):(\d{2})(\.\d+)?([Zz]|([+-])(\d{2}):(\d{2}))$)"));
    const QRegularExpressionMatch m = pattern.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const auto part = [&](int i) { return m.capturedView(i).toInt(); };
    const QDate date(part(1), part(2), part(3));
    const QTime time(part(4), part(5), part(6));
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    double seconds =
        static_cast<double>(QDateTime(date, time, QTimeZone::utc()).toSecsSinceEpoch());
    if (m.capturedLength(7) > 0)
        seconds += m.captured(7).toDouble();
    if (m.capturedLength(9) > 0) {
        const int hours = part(10);
        const int minutes = part(11);
        if (hours > 23 || minutes > 59)
            return std::nullopt;
        const int offset = (hours * 3600 + minutes * 60) * (m.captured(9) == u"-" ? -1 : 1);
        seconds -= offset;
    }
    return seconds;
}

QString stamp(double seconds) {
    return utc(seconds).toString(QStringLiteral("yyyyMMdd-HHmmss"));
}

double now() {
    return static_cast<double>(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
}

} // namespace IsoDate

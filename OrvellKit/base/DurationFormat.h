#pragma once

#include <QString>

namespace DurationFormat {
// Whole seconds, halves away from zero; a value that is not finite or does
// not fit a 64-bit count reads as 0 rather than stopping the app.
qint64 roundedSeconds(double seconds);
// "m:ss", minutes not wrapped into hours.
QString minutesSeconds(double seconds);
// "h:mm:ss" from an hour on, "m:ss" below.
QString hoursMinutesSeconds(double seconds);
} // namespace DurationFormat

#pragma once

#include <QString>

#include <optional>

// Dates as the library stores them: seconds since 1970-01-01 00:00:00 UTC,
// written as ISO 8601 internet date-times with milliseconds.
namespace IsoDate {
// "2026-01-05T14:03:12.345Z"
QString toString(double seconds);
// With or without fractional seconds, "Z" or a numeric offset; nothing when
// the text is not a full internet date-time (a date alone fails).
std::optional<double> fromString(const QString &text);
// "20260105-140312", in UTC, for backup file names.
QString stamp(double seconds);
double now();
} // namespace IsoDate

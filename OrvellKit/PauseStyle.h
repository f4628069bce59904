#pragma once

#include <QString>

// How generous the pace guide's pauses are; the raw names are stored.
enum class PauseStyle { subtle, natural, generous };

namespace PauseStyles {
QString rawValue(PauseStyle style);
// Unknown names read as natural.
PauseStyle fromRawValue(const QString &name);
} // namespace PauseStyles

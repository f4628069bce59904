#pragma once

#include "base/EnumNames.h"

// How generous the pace guide's pauses are; the raw names are stored.
enum class PauseStyle { subtle, natural, generous };

// The kind of pause the punctuation between two words calls for, shortest first.
enum class PauseKind { none = 0, comma = 1, clause = 2, sentence = 3, paragraph = 4 };

namespace PauseStyles {
inline constexpr EnumName<PauseStyle> rows[] = {{PauseStyle::subtle, "subtle", "Subtle"},
                                                 {PauseStyle::natural, "natural", "Natural"},
                                                 {PauseStyle::generous, "generous", "Generous"}};
inline constexpr EnumNames names{rows};
// How much a measured voice pause is stretched or shortened.
double voiceScale(PauseStyle style);
// The pause written punctuation calls for, in seconds.
double seconds(PauseStyle style, PauseKind kind);
// Unknown names read as natural.
inline PauseStyle fromName(const QString &name) {
    return names.parse(name).value_or(PauseStyle::natural);
}
} // namespace PauseStyles

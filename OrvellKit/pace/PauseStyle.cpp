#include "pace/PauseStyle.h"

namespace PauseStyles {

double voiceScale(PauseStyle style) {
    switch (style) {
    case PauseStyle::subtle:
        return 0.7;
    case PauseStyle::generous:
        return 1.4;
    case PauseStyle::natural:
        break;
    }
    return 1.0;
}

double seconds(PauseStyle style, PauseKind kind) {
    // Rows: none, comma, clause, sentence, paragraph; columns: subtle, natural, generous.
    static constexpr double table[5][3] = {
        {0, 0, 0}, {0.2, 0.3, 0.4}, {0.35, 0.5, 0.7}, {0.5, 0.8, 1.2}, {1.0, 1.4, 2.0}};
    return table[static_cast<int>(kind)][static_cast<int>(style)];
}

} // namespace PauseStyles

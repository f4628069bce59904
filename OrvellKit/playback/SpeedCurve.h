#pragma once

#include <algorithm>

// Maps the speed position t (0…1) to points per second and to the number the
// speed slider shows.
namespace SpeedCurve {
inline constexpr double base = 18.0;
inline constexpr double span = 70.0;
inline constexpr double defaultT = 0.45;
inline constexpr double arrowStep = 0.05;
inline constexpr double shiftArrowStep = 0.1;

// Written with comparisons rather than std::clamp so that NaN lands on 0.
constexpr double clamp(double x) {
    if (!(x > 0))
        return 0;
    if (x >= 1)
        return 1;
    return x;
}

// The speed is a speaking rate: t maps to words per minute (60 to 260; the
// default 0.45 is 150, a calm speaking pace), and the scroll runs at
// whatever points per second read the selected script's words at that rate
// in the island's typography. A bigger font scrolls faster, not slower to
// read. pointsPerSecond(t) is the scroll where no words are known.
inline constexpr double minWordsPerMinute = 60.0;
inline constexpr double wordsPerMinuteSpan = 200.0;

constexpr double wordsPerMinute(double t) {
    return minWordsPerMinute + wordsPerMinuteSpan * clamp(t);
}

constexpr double pointsPerSecond(double t) {
    return t <= 0 ? base : base + span * std::min(1.0, t);
}

constexpr double sliderValue(double t) {
    return t <= 0 ? 10 : 10 + 90 * std::min(1.0, t);
}

constexpr double t(double sliderValue) {
    return sliderValue <= 10 ? 0 : (std::min(100.0, sliderValue) - 10) / 90;
}
} // namespace SpeedCurve

namespace TickClamp {
inline constexpr double maxDelta = 0.1;

constexpr double apply(double dt) {
    return std::min(maxDelta, dt);
}
} // namespace TickClamp

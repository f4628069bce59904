#pragma once

#include <cmath>
#include <limits>
#include <optional>

// Turns late, bursty recognition results into a smooth glow position: it
// catches up quickly but never past what was confirmed, and while speech
// is still coming it creeps through the next word at the speaker's pace.
struct GlowFront {
    static constexpr double rateMin = 6;
    static constexpr double rateMax = 30;
    static constexpr double catchUpGain = 10;
    static constexpr double speechTimeout = 0.6;
    static constexpr double minimumSample = 0.15;
    static constexpr double sampleWeight = 0.3;
    static constexpr double longestSample = 3;

    struct Confirmation {
        double time = 0;
        double offset = 0;
    };

    double position = 0;
    double rate = 14; // UTF-16 units per second
    double confirmed = 0;
    double predictLimit = 0;
    double clock = 0;
    double lastHeard = -std::numeric_limits<double>::infinity();
    std::optional<Confirmation> lastConfirm;

    void heard() { lastHeard = clock; }
    void confirm(double through, double wordEnd);
    void advance(double dt);
    void reset();
};

#pragma once

#include <optional>

// A 3-2-1 counter driven by frame steps, for a front end that wants a
// countdown before playback.
struct Countdown {
    static constexpr int from = 3;
    static constexpr double stepDuration = 0.8;

    struct Event {
        enum class Kind { none, tick, finished };
        Kind kind = Kind::none;
        int number = 0; // the number to show, for a tick

        static Event none() { return {}; }
        static Event tick(int n) { return {Kind::tick, n}; }
        static Event finished() { return {Kind::finished, 0}; }
        bool operator==(const Event &) const = default;
    };

    std::optional<int> remaining;
    double elapsedInStep = 0;

    bool isRunning() const { return remaining.has_value(); }
    Event start();
    void cancel();
    Event advance(double dt);

    // A countdown belongs before a reading from the top or a restart from the
    // end, not before resuming in the middle.
    static bool shouldCount(double offset, bool isAtEnd) { return offset <= 0 || isAtEnd; }

    bool operator==(const Countdown &) const = default;
};

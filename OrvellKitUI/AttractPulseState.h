#pragma once

// A soft halo that draws the eye to a control until it is first used.
struct AttractPulseState {
    bool isPulsing = false;
    void noteInteraction() { isPulsing = false; }
    bool operator==(const AttractPulseState &) const = default;

    // The halo's strength `seconds` into the pulse: it breathes between
    // faint and full, eased, 2 s each way.
    static double breath(double seconds) {
        const double period = 2.0;
        double t = seconds / period;
        t -= 2 * static_cast<long long>(t / 2);
        const double x = t < 1 ? t : 2 - t;
        const double eased = x < 0.5 ? 2 * x * x : 1 - (2 - 2 * x) * (2 - 2 * x) / 2;
        return 0.3 + 0.7 * eased;
    }
};

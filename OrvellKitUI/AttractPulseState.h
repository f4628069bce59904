#pragma once

// A soft halo that draws the eye to a control until it is first used.
struct AttractPulseState {
    bool isPulsing = false;
    void noteInteraction() { isPulsing = false; }
    bool operator==(const AttractPulseState &) const = default;
};

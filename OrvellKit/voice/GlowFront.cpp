#include "voice/GlowFront.h"

#include <algorithm>

void GlowFront::confirm(double through, double wordEnd) {
    lastHeard = clock;
    if (!lastConfirm) {
        lastConfirm = Confirmation{clock, through};
    } else if (const double dt = clock - lastConfirm->time; dt >= minimumSample) {
        if (dt < longestSample && through > lastConfirm->offset) {
            const double sample = (through - lastConfirm->offset) / dt;
            rate = std::clamp((1 - sampleWeight) * rate + sampleWeight * sample, rateMin, rateMax);
        }
        lastConfirm = Confirmation{clock, through};
    }
    confirmed = std::max(confirmed, through);
    predictLimit = std::max(predictLimit, wordEnd);
}

void GlowFront::advance(double dt) {
    clock += dt;
    if (confirmed > position) {
        const double speed = std::max(2 * rate, catchUpGain * (confirmed - position));
        position = std::min(position + speed * dt, confirmed);
    } else if (clock - lastHeard < speechTimeout && predictLimit > position) {
        position = std::min(position + rate * dt, predictLimit);
    }
}

void GlowFront::reset() {
    position = confirmed = predictLimit = clock = 0;
    lastHeard = -std::numeric_limits<double>::infinity();
    lastConfirm.reset();
}

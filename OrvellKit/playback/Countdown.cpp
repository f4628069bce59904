#include "playback/Countdown.h"

Countdown::Event Countdown::start() {
    remaining = from;
    elapsedInStep = 0;
    return Event::tick(from);
}

void Countdown::cancel() {
    remaining.reset();
    elapsedInStep = 0;
}

Countdown::Event Countdown::advance(double dt) {
    if (!remaining || !(dt > 0))
        return Event::none();
    double e = elapsedInStep + dt;
    if (e < stepDuration) {
        elapsedInStep = e;
        return Event::none();
    }
    // One large step may skip numbers; only the last one reached is reported.
    for (int n = *remaining - 1; n > 0; --n) {
        e -= stepDuration;
        if (e < stepDuration) {
            remaining = n;
            elapsedInStep = e;
            return Event::tick(n);
        }
    }
    cancel();
    return Event::finished();
}

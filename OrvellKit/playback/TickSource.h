#pragma once

#include <functional>

// A frame clock: between start() and stop() it calls onTick once per frame
// with the seconds since the previous frame.
class TickSource {
public:
    virtual ~TickSource() = default;

    std::function<void(double)> onTick;

    // Idempotent.
    virtual void start() = 0;
    // Also forgets the previous frame, so the next start() never delivers a
    // step that spans the pause.
    virtual void stop() = 0;
};

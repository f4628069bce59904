#pragma once

#include "playback/TickSource.h"

// A frame clock the test drives by hand.
class FakeTickSource : public TickSource {
public:
    void start() override {
        running = true;
        ++starts;
    }
    void stop() override {
        running = false;
        ++stops;
    }
    // Delivers one frame if started, as a real clock would.
    void frame(double dt) {
        if (running && onTick)
            onTick(dt);
    }

    bool running = false;
    int starts = 0;
    int stops = 0;
};

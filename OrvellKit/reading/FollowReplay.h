#pragma once

#include <QString>

class WavFileSource;

#include <functional>
#include <memory>
#include <optional>
#include <vector>

// Plays a recording to voice follow as if the speaker were reading the
// script: the real listener, recogniser, matcher, glow front and controller,
// with the recording's own time as the clock, so it runs as fast as the
// recogniser can. Must be called on the GUI thread of a running
// QCoreApplication.
namespace FollowReplay {

struct Step {
    double seconds = 0; // audio time at which the cursor moved
    int cursor = 0;
};

struct Outcome {
    std::vector<Step> steps;
    // The glow front's position (UTF-16 units) after each stretch of audio.
    std::vector<std::pair<double, double>> glow;
    int cursor = 0;
    int words = 0;
    QString error; // the listener's failure, if it failed
};

// Feeds the audio in stretches of `chunkSeconds`; `onStep` sees each cursor
// move as it happens.
Outcome run(const QString &script, const std::vector<float> &audio16k,
            const std::function<void(const Step &)> &onStep = {}, double chunkSeconds = 0.1);
// The same from a recording streamed as it is played: `openAudio` is asked
// for it each time listening starts.
Outcome run(const QString &script, const std::function<std::unique_ptr<WavFileSource>()> &openAudio,
            const std::function<void(const Step &)> &onStep = {}, double chunkSeconds = 0.1);

} // namespace FollowReplay

#pragma once

#include "pace/PaceSchedule.h"
#include "text/ScriptWords.h"

#include <utility>
#include <vector>

// The rhythm of a script as a speech voice reads it: from the rendered audio
// and the synthesizer's word markers, how long each word is said and how
// long the voice pauses after it.
namespace SpeechRhythm {
inline constexpr double frameSeconds = 0.01;
inline constexpr float silenceRatio = 0.01f;
inline constexpr double shortestSilence = 0.03;
inline constexpr double boundarySlack = 0.1;
// How far a chosen silence's end may lie from the next word's marker.
inline constexpr double boundaryReach = 0.1 + 0.2;

struct Marker {
    int location = 0; // UTF-16 range of the word in the rendered text
    int length = 0;
    double start = 0; // seconds from the start of the audio
    bool operator==(const Marker &) const = default;
};

struct Rendering {
    std::vector<float> samples; // the first channel; empty when only measured
    double sampleRate = 0;
    std::vector<Marker> markers;
    // The envelope and length, kept as the audio streams by, so a long
    // script is measured without holding its audio.
    std::vector<float> envelope;
    double duration = 0;
};

// Root mean square of every 10 ms of audio as it arrives.
class EnvelopeFollower {
public:
    explicit EnvelopeFollower(double sampleRate);
    void push(const float *samples, std::size_t count);
    // The envelope so far, the last part-frame included.
    std::vector<float> finish();
    double seconds() const;

private:
    std::size_t m_window;
    double m_rate;
    double m_sum = 0;
    std::size_t m_inWindow = 0;
    std::size_t m_total = 0;
    std::vector<float> m_envelope;
};

// Root mean square of every 10 ms of audio.
std::vector<float> envelope(const std::vector<float> &samples, double sampleRate);
// Stretches of frames at or below the threshold, in seconds; shorter than 30 ms dropped.
std::vector<std::pair<double, double>> silentRuns(const std::vector<float> &envelope,
                                                  float threshold);
// When each word starts, from its marker or interpolated by character
// position; never decreasing.
std::vector<double> wordStarts(const ScriptWords &words, const std::vector<Marker> &markers,
                               double duration);
// One WordRhythm per word.
std::vector<WordRhythm> rhythm(const ScriptWords &words, const std::vector<Marker> &markers,
                               const std::vector<float> &envelope, double duration);
// The whole measurement from a rendering; nothing without markers.
std::optional<std::vector<WordRhythm>> fromRendering(const ScriptWords &words,
                                                     const Rendering &rendering);
} // namespace SpeechRhythm

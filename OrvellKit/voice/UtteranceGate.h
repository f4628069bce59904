#pragma once

#include <cstddef>

// Closes utterances at pauses in the audio, so recognition results become
// final and hypotheses stay short over a long talk. Quiet is relative to the
// noise floor it tracks, so a humming room does not hold an utterance open:
// a frame is quiet below the louder of −45 dBFS and the floor + 10 dB, and
// 0.4 s of quiet after speech ends the utterance.
class UtteranceGate {
public:
    static constexpr int sampleRate = 16000;
    static constexpr int frameSamples = sampleRate / 100; // 10 ms
    static constexpr double absoluteQuietDb = -45;
    static constexpr double aboveFloorDb = 10;
    static constexpr double closingQuietSeconds = 0.4;

    // Feeds 16 kHz mono samples; true when an utterance ended in them.
    bool feed(const float *samples, std::size_t count);

    bool inSpeech() const { return m_inSpeech; }
    double floorDb() const { return m_floorDb; }
    double thresholdDb() const;

private:
    void frame(double db);

    double m_sum = 0;
    int m_filled = 0;
    double m_floorDb = -90;
    bool m_floorKnown = false;
    bool m_inSpeech = false;
    int m_quietFrames = 0;
    bool m_closed = false;
};

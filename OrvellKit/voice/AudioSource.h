#pragma once

#include <QString>

#include <cstddef>
#include <functional>

// Where voice follow's audio comes from: the microphone, or a recording for
// tests and the command line. Delivers 16 kHz mono samples in [-1, 1].
class AudioSource {
public:
    static constexpr int sampleRate = 16000;

    // Called on whatever thread the audio arrives on.
    using Sink = std::function<void(const float *samples, std::size_t count)>;

    virtual ~AudioSource() = default;

    // What the user reads when the microphone cannot be used.
    static QString accessOffMessage() {
        return QStringLiteral("Microphone access is off. Turn it on in the sound settings.");
    }
    static QString noInputMessage() { return QStringLiteral("No microphone input is available."); }

    // Starts delivering; false with a sentence for the user when it cannot.
    virtual bool start(Sink sink, QString *error) = 0;
    // Stops delivering; no sample reaches the sink after it returns.
    virtual void stop() = 0;

    // The audio stopped by itself after starting (the device went away).
    std::function<void(const QString &why)> onFailure;
};

// Little-endian PCM samples as floats in [-1, 1]: unsigned 8-bit, signed
// 16-, 24- or 32-bit integers, or 32-bit floats.
void pcmToFloat(const char *bytes, std::size_t samples, int bits, bool isFloat, float *out);

// Turns interleaved audio of any rate and channel count into 16 kHz mono:
// channels are averaged, then a windowed-sinc low-pass resamples, so speech
// keeps its consonants and nothing above 8 kHz folds back into it.
class AudioResampler {
public:
    AudioResampler(int inputRate, int channels);

    // Appends the converted samples of `frames` interleaved frames to `out`.
    void push(const float *interleaved, std::size_t frames, std::vector<float> &out);

    // Rates a recording or a device may have; others are refused before
    // they reach a resampler.
    static constexpr int minRate = 1000;
    static constexpr int maxRate = 384000;
    static constexpr int maxChannels = 32;

private:
    int m_channels;
    double m_step;   // input samples per output sample
    double m_cutoff; // of the input's Nyquist
    double m_position = 0;
    std::vector<float> m_history;
    // The filter's taps at evenly spaced fractional positions, computed once
    // (sines and cosines per sample cost more than the recogniser).
    std::vector<float> m_table;
};

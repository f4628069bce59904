#pragma once

#include "voice/AudioSource.h"

#include <QString>

#include <optional>
#include <vector>

// A WAV recording played into voice follow as if it were the microphone,
// but driven by its caller: each pump() delivers the next stretch of audio,
// so a replay runs as fast as the recogniser can go.
class WavFileSource : public AudioSource {
public:
    // 16 kHz mono samples of a WAV file (8/16/24/32-bit PCM or 32-bit float,
    // any rate and channel count); nothing and a reason when it is not one.
    static std::optional<std::vector<float>> read(const QString &path, QString *error);

    explicit WavFileSource(std::vector<float> samples);

    bool start(Sink sink, QString *error) override;
    void stop() override;

    // Delivers up to `seconds` more audio; false once everything was delivered
    // (or the source is stopped).
    bool pump(double seconds);
    double seconds() const { return static_cast<double>(m_samples.size()) / sampleRate; }
    double delivered() const { return static_cast<double>(m_at) / sampleRate; }

private:
    std::vector<float> m_samples;
    std::size_t m_at = 0;
    Sink m_sink;
};

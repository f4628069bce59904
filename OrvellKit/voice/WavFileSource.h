#pragma once

#include "voice/AudioSource.h"

#include <QFile>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

// A WAV recording played into voice follow as if it were the microphone,
// but driven by its caller: each pump() delivers the next stretch of audio,
// so a replay runs as fast as the recogniser can go. A file is streamed: only
// the stretch being delivered is in memory, however long the recording.
class WavFileSource : public AudioSource {
public:
    // What the header says, checked against the file.
    struct Format {
        bool isFloat = false;
        int bits = 0;
        int channels = 0;
        int rate = 0;
        qint64 dataOffset = 0;
        qint64 dataBytes = 0; // what the file really holds, whole frames only
        int frameBytes() const { return channels * bits / 8; }
    };

    // Opens a recording (8/16/24/32-bit PCM or 32-bit float, 1 to 32
    // channels, 1 kHz to 384 kHz); nothing and a reason when it is not one.
    static std::unique_ptr<WavFileSource> open(const QString &path, QString *error);
    // The whole recording as 16 kHz mono samples (for short ones: tests).
    static std::optional<std::vector<float>> read(const QString &path, QString *error);

    explicit WavFileSource(std::vector<float> samples);

    bool start(Sink sink, QString *error) override;
    void stop() override;

    // Silence delivered after the recording, so its last utterance closes.
    void setTrailingSilence(double seconds) { m_silence = seconds; }

    // Delivers up to `seconds` more audio; false once everything was delivered
    // (or the source is stopped).
    bool pump(double seconds);
    // The recording's length at 16 kHz, the trailing silence included.
    double seconds() const;
    double delivered() const { return static_cast<double>(m_delivered) / sampleRate; }

private:
    WavFileSource(std::unique_ptr<QFile> file, Format format);
    // Fills m_pending with at least `wanted` samples while the file lasts.
    void fill(std::size_t wanted);

    std::vector<float> m_samples;  // in memory
    std::unique_ptr<QFile> m_file; // or streamed
    Format m_format;
    std::unique_ptr<AudioResampler> m_resampler;
    qint64 m_read = 0;            // bytes of audio data read so far
    bool m_flushed = false;       // the resampler's tail was pushed
    std::vector<float> m_pending; // resampled, not yet delivered
    std::size_t m_at = 0;         // in m_samples
    std::size_t m_delivered = 0;
    double m_silence = 0;
    std::size_t m_silenceDelivered = 0;
    Sink m_sink;
};

#pragma once

#include "voice/AudioSource.h"

#include <QAudioSource>
#include <QObject>

#include <memory>
#include <optional>

// The default microphone through Qt Multimedia (PulseAudio or PipeWire),
// converted to 16 kHz mono. Open only between start() and stop(); the audio
// goes to the sink and nowhere else.
class MicrophoneSource : public QObject, public AudioSource {
    Q_OBJECT

public:
    using QObject::QObject;
    ~MicrophoneSource() override;

    bool start(Sink sink, QString *error) override;
    void stop() override;

private:
    void read();

    std::unique_ptr<QAudioSource> m_audio;
    QIODevice *m_io = nullptr;
    QAudioFormat m_format;
    std::optional<AudioResampler> m_resampler;
    Sink m_sink;
    std::vector<float> m_interleaved;
    std::vector<float> m_converted;
};

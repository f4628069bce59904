#pragma once

#include "voice/AudioSource.h"

#include <QAudioSource>
#include <QObject>

#include <memory>
#include <optional>
#include <vector>

// A microphone through Qt Multimedia (PulseAudio or PipeWire), converted to
// 16 kHz mono. Open only between start() and stop(); the audio goes to the
// sink and nowhere else.
class MicrophoneSource : public QObject, public AudioSource {
    Q_OBJECT

public:
    struct Input {
        QString id;   // the sound server's id, what the setting stores
        QString name; // as the sound settings show it
    };
    // The sound server's inputs, the default first.
    static std::vector<Input> inputs();

    // `deviceId` empty, or not connected when listening starts: the default input.
    explicit MicrophoneSource(QString deviceId = {}, QObject *parent = nullptr);
    ~MicrophoneSource() override;

    bool start(Sink sink, QString *error) override;
    void stop() override;

private:
    void read();

    QString m_deviceId;
    std::unique_ptr<QAudioSource> m_audio;
    QIODevice *m_io = nullptr;
    QAudioFormat m_format;
    std::optional<AudioResampler> m_resampler;
    Sink m_sink;
    std::vector<float> m_interleaved;
    std::vector<float> m_converted;
};

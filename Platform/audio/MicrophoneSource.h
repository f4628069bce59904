#pragma once

#include "voice/AudioSource.h"

#include <QObject>
#include <QThread>

#include <memory>
#include <vector>

// A microphone through Qt Multimedia (PulseAudio or PipeWire), converted to
// 16 kHz mono. Open only between start() and stop(); the audio goes to the
// sink and nowhere else. The audio is read and converted on a thread of its
// own ("orvell-audio"), so the sink is called there: a busy window neither
// delays nor drops what the speaker says, and the island's frames do not
// wait for the microphone.
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
    class Capture;

    QString m_deviceId;
    QThread m_thread;
    // Lives on m_thread; touched from here only through blocking calls.
    std::unique_ptr<Capture> m_capture;
    // Which start a failure reported by the audio thread belongs to.
    int m_run = 0;
};

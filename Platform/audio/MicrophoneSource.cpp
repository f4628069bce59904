#include "Platform/audio/MicrophoneSource.h"

#include <QAudioDevice>
#include <QAudioSource>
#include <QLoggingCategory>
#include <QMediaDevices>
#include <QTimer>

#include <optional>

Q_LOGGING_CATEGORY(lcMicrophone, "org.orvell.Orvell.VoiceFollow.Microphone")

// The open device, on the audio thread: everything here runs there.
class MicrophoneSource::Capture : public QObject {
public:
    // Reports a device that stopped by itself, with the run it belonged to.
    std::function<void(int run)> onStopped;

    Capture() {
        // When the sound server drops the input (unplugged, its module
        // unloaded), the stream just goes quiet: Qt reports neither an
        // error nor a change of inputs. The server's list of inputs does
        // change.
        connect(&m_watch, &QTimer::timeout, this, [this] {
            for (const QAudioDevice &d : QMediaDevices::audioInputs())
                if (d.id() == m_device)
                    return;
            qCWarning(lcMicrophone) << "the microphone went away";
            stopped();
        });
    }

    bool open(const QAudioDevice &device, const QAudioFormat &format, Sink sink, int run,
              QString *error) {
        close();
        m_format = format;
        m_resampler.emplace(format.sampleRate(), format.channelCount());
        m_audio = std::make_unique<QAudioSource>(device, format);
        m_audio->setBufferSize(format.bytesForDuration(200'000));
        m_io = m_audio->start();
        if (!m_io || m_audio->error() != QAudio::NoError) {
            const QAudio::Error why = m_audio->error();
            qCWarning(lcMicrophone) << "could not open" << device.description() << why;
            close();
            *error = why == QAudio::OpenError ? accessOffMessage() : noInputMessage();
            return false;
        }
        m_sink = std::move(sink);
        m_run = run;
        m_device = device.id();
        qCInfo(lcMicrophone) << "listening to" << device.description() << format;
        connect(m_io, &QIODevice::readyRead, this, &Capture::read);
        connect(m_audio.get(), &QAudioSource::stateChanged, this, [this](QAudio::State s) {
            if (s == QAudio::StoppedState && m_audio && m_audio->error() != QAudio::NoError) {
                qCWarning(lcMicrophone) << "the microphone stopped:" << m_audio->error();
                stopped();
            }
        });
        m_watch.start(watchInterval);
        return true;
    }

    void close() {
        m_watch.stop();
        m_sink = nullptr;
        if (m_audio) {
            m_audio->disconnect(this);
            if (m_io)
                m_io->disconnect(this);
            m_audio->stop();
            // Possibly inside one of its own signals: let the event loop delete it.
            m_audio.release()->deleteLater();
        }
        m_io = nullptr;
    }

private:
    static constexpr int watchInterval = 1000; // ms

    void stopped() {
        const int run = m_run;
        close();
        if (onStopped)
            onStopped(run);
    }

    void read() {
        if (!m_io || !m_sink)
            return;
        const QByteArray bytes = m_io->readAll();
        const int frameBytes = m_format.bytesPerFrame();
        if (frameBytes <= 0)
            return;
        const std::size_t frames = static_cast<std::size_t>(bytes.size() / frameBytes);
        const std::size_t count = frames * static_cast<std::size_t>(m_format.channelCount());
        m_interleaved.resize(count);
        const QAudioFormat::SampleFormat f = m_format.sampleFormat();
        pcmToFloat(bytes.constData(), count, m_format.bytesPerSample() * 8,
                   f == QAudioFormat::Float, m_interleaved.data());
        m_converted.clear();
        m_resampler->push(m_interleaved.data(), frames, m_converted);
        if (!m_converted.empty())
            m_sink(m_converted.data(), m_converted.size());
    }

    std::unique_ptr<QAudioSource> m_audio;
    QTimer m_watch{this};
    // The start this capture serves, and the input it opened.
    int m_run = 0;
    QByteArray m_device;
    QIODevice *m_io = nullptr;
    QAudioFormat m_format;
    std::optional<AudioResampler> m_resampler;
    Sink m_sink;
    std::vector<float> m_interleaved;
    std::vector<float> m_converted;
};

std::vector<MicrophoneSource::Input> MicrophoneSource::inputs() {
    std::vector<Input> list;
    const QAudioDevice fallback = QMediaDevices::defaultAudioInput();
    for (const QAudioDevice &d : QMediaDevices::audioInputs()) {
        Input input{QString::fromUtf8(d.id()), d.description()};
        if (d.id() == fallback.id())
            list.insert(list.begin(), input);
        else
            list.push_back(input);
    }
    return list;
}

MicrophoneSource::MicrophoneSource(QString deviceId, QObject *parent)
    : QObject(parent)
    , m_deviceId(std::move(deviceId)) {
    m_thread.setObjectName(QStringLiteral("orvell-audio"));
}

MicrophoneSource::~MicrophoneSource() {
    stop();
    m_thread.quit();
    m_thread.wait();
    // Its thread has ended, and close() left it nothing of its own.
    m_capture.reset();
}

bool MicrophoneSource::start(Sink sink, QString *error) {
    stop();
    const auto refuse = [error](const QString &message) {
        if (error)
            *error = message;
        return false;
    };
    // The device and its format are settled here, where Qt Multimedia was
    // first asked for the inputs; only the capture runs on the audio thread.
    QAudioDevice device = QMediaDevices::defaultAudioInput();
    if (!m_deviceId.isEmpty()) {
        const QByteArray wanted = m_deviceId.toUtf8();
        bool found = false;
        for (const QAudioDevice &d : QMediaDevices::audioInputs())
            if (d.id() == wanted) {
                device = d;
                found = true;
            }
        if (!found)
            qCWarning(lcMicrophone).noquote()
                << "the chosen microphone" << m_deviceId << "is not connected; using the default";
    }
    if (device.isNull())
        return refuse(noInputMessage());
    // Asking for the recogniser's own format lets the sound server convert;
    // otherwise the device's format is converted on the audio thread.
    QAudioFormat format;
    format.setSampleRate(sampleRate);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Float);
    if (!device.isFormatSupported(format))
        format = device.preferredFormat();
    if (format.sampleRate() <= 0 || format.channelCount() <= 0 ||
        format.sampleFormat() == QAudioFormat::Unknown)
        return refuse(noInputMessage());

    if (!m_thread.isRunning())
        m_thread.start();
    if (!m_capture) {
        m_capture = std::make_unique<Capture>();
        m_capture->moveToThread(&m_thread);
        // A stop reported on the audio thread reaches the listener on its
        // own thread; while the source exists (its destructor waits for the
        // audio thread), and not for a run already stopped.
        m_capture->onStopped = [this](int run) {
            QMetaObject::invokeMethod(
                this,
                [this, run] {
                    if (m_run == run && onFailure)
                        onFailure(noInputMessage());
                },
                Qt::QueuedConnection);
        };
    }
    const int run = ++m_run;
    bool opened = false;
    QString why;
    QMetaObject::invokeMethod(
        m_capture.get(),
        [&] { opened = m_capture->open(device, format, std::move(sink), run, &why); },
        Qt::BlockingQueuedConnection);
    return opened || refuse(why.isEmpty() ? noInputMessage() : why);
}

void MicrophoneSource::stop() {
    ++m_run;
    // Blocking: once the audio thread has closed the device, no sample
    // reaches the sink.
    if (m_capture && m_thread.isRunning())
        QMetaObject::invokeMethod(
            m_capture.get(), [this] { m_capture->close(); }, Qt::BlockingQueuedConnection);
}

#include "MicrophoneSource.h"

#include <QAudioDevice>
#include <QLoggingCategory>
#include <QMediaDevices>

Q_LOGGING_CATEGORY(lcMicrophone, "org.orvell.Orvell.VoiceFollow.Microphone")

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
    , m_deviceId(std::move(deviceId)) {}

MicrophoneSource::~MicrophoneSource() {
    stop();
}

bool MicrophoneSource::start(Sink sink, QString *error) {
    stop();
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
    if (device.isNull()) {
        if (error)
            *error = noInputMessage();
        return false;
    }
    // Asking for the recogniser's own format lets the sound server convert;
    // otherwise the device's format is converted here.
    QAudioFormat format;
    format.setSampleRate(sampleRate);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Float);
    if (!device.isFormatSupported(format))
        format = device.preferredFormat();
    if (format.sampleRate() <= 0 || format.channelCount() <= 0 ||
        format.sampleFormat() == QAudioFormat::Unknown) {
        if (error)
            *error = noInputMessage();
        return false;
    }
    m_format = format;
    m_resampler.emplace(format.sampleRate(), format.channelCount());
    m_audio = std::make_unique<QAudioSource>(device, format);
    m_audio->setBufferSize(format.bytesForDuration(200'000));
    m_io = m_audio->start();
    if (!m_io || m_audio->error() != QAudio::NoError) {
        const QAudio::Error why = m_audio->error();
        qCWarning(lcMicrophone) << "could not open" << device.description() << why;
        stop();
        if (error)
            *error = why == QAudio::OpenError ? accessOffMessage() : noInputMessage();
        return false;
    }
    m_sink = std::move(sink);
    qCInfo(lcMicrophone) << "listening to" << device.description() << format;
    connect(m_io, &QIODevice::readyRead, this, &MicrophoneSource::read);
    connect(m_audio.get(), &QAudioSource::stateChanged, this, [this](QAudio::State state) {
        if (state == QAudio::StoppedState && m_audio && m_audio->error() != QAudio::NoError) {
            qCWarning(lcMicrophone) << "the microphone stopped:" << m_audio->error();
            const auto failure = onFailure;
            stop();
            if (failure)
                failure(noInputMessage());
        }
    });
    return true;
}

void MicrophoneSource::stop() {
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

void MicrophoneSource::read() {
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
    pcmToFloat(bytes.constData(), count, m_format.bytesPerSample() * 8, f == QAudioFormat::Float,
               m_interleaved.data());
    m_converted.clear();
    m_resampler->push(m_interleaved.data(), frames, m_converted);
    if (!m_converted.empty())
        m_sink(m_converted.data(), m_converted.size());
}

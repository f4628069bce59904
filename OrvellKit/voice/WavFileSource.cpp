#include "voice/WavFileSource.h"

#include <QFile>
#include <QtEndian>

#include <cstring>

namespace {

quint32 u32(const char *p) {
    return qFromLittleEndian<quint32>(p);
}
quint16 u16(const char *p) {
    return qFromLittleEndian<quint16>(p);
}

} // namespace

std::optional<std::vector<float>> WavFileSource::read(const QString &path, QString *error) {
    const auto fail = [error](const QString &why) -> std::optional<std::vector<float>> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.errorString());
    const QByteArray data = file.readAll();
    if (data.size() < 12 || std::memcmp(data.constData(), "RIFF", 4) != 0 ||
        std::memcmp(data.constData() + 8, "WAVE", 4) != 0)
        return fail(QStringLiteral("not a WAV file"));

    int format = 0, channels = 0, rate = 0, bits = 0;
    QByteArrayView pcm;
    for (qsizetype at = 12; at + 8 <= data.size();) {
        const char *chunk = data.constData() + at;
        const qsizetype size = u32(chunk + 4);
        const qsizetype body = std::min<qsizetype>(size, data.size() - at - 8);
        if (std::memcmp(chunk, "fmt ", 4) == 0 && body >= 16) {
            format = u16(chunk + 8);
            channels = u16(chunk + 10);
            rate = static_cast<int>(u32(chunk + 12));
            bits = u16(chunk + 22);
            if (format == 0xFFFE && body >= 40) // WAVE_FORMAT_EXTENSIBLE: the sub-format's tag
                format = u16(chunk + 8 + 24);
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            pcm = QByteArrayView(chunk + 8, body);
        }
        at += 8 + size + (size & 1);
    }
    const bool integer = format == 1 && (bits == 8 || bits == 16 || bits == 24 || bits == 32);
    const bool floating = format == 3 && bits == 32;
    if (!(integer || floating) || channels < 1 || rate < 1000)
        return fail(QStringLiteral("unsupported WAV encoding (PCM or 32-bit float expected)"));

    const int bytes = bits / 8;
    const std::size_t frames = static_cast<std::size_t>(pcm.size()) / (bytes * channels);
    std::vector<float> interleaved(frames * static_cast<std::size_t>(channels));
    pcmToFloat(pcm.data(), interleaved.size(), bits, floating, interleaved.data());
    std::vector<float> out;
    out.reserve(frames * AudioSource::sampleRate / static_cast<std::size_t>(rate) + 1);
    AudioResampler resampler(rate, channels);
    resampler.push(interleaved.data(), frames, out);
    // A little silence after the end lets the filter give out the last
    // samples (it looks 16 input samples ahead).
    const std::size_t tailFrames = 17;
    const std::vector<float> tail(tailFrames * static_cast<std::size_t>(channels), 0.0f);
    resampler.push(tail.data(), tailFrames, out);
    return out;
}

WavFileSource::WavFileSource(std::vector<float> samples)
    : m_samples(std::move(samples)) {}

bool WavFileSource::start(Sink sink, QString *) {
    m_sink = std::move(sink);
    return true;
}

void WavFileSource::stop() {
    m_sink = nullptr;
}

bool WavFileSource::pump(double seconds) {
    if (!m_sink || m_at >= m_samples.size())
        return false;
    const std::size_t n = std::min(m_samples.size() - m_at,
                                   static_cast<std::size_t>(std::max(1.0, seconds * sampleRate)));
    m_sink(m_samples.data() + m_at, n);
    m_at += n;
    return m_at < m_samples.size();
}

#include "voice/WavFileSource.h"

#include "base/FileRead.h"

#include <QtEndian>

#include <cstring>

namespace {

quint32 u32(const char *p) {
    return qFromLittleEndian<quint32>(p);
}
quint16 u16(const char *p) {
    return qFromLittleEndian<quint16>(p);
}

// Recordings much longer than a day are not speech to follow.
constexpr qint64 maxFileBytes = qint64(16) * 1024 * 1024 * 1024;

} // namespace

std::unique_ptr<WavFileSource> WavFileSource::open(const QString &path, QString *error) {
    const auto fail = [error](const QString &why) -> std::unique_ptr<WavFileSource> {
        if (error)
            *error = why;
        return nullptr;
    };
    QString reason;
    if (FileRead::check(path, maxFileBytes, &reason) != FileRead::Failure::none)
        return fail(reason);
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly))
        return fail(file->errorString());
    const qint64 size = file->size();
    char riff[12];
    if (file->read(riff, 12) != 12 || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0)
        return fail(QStringLiteral("not a WAV file"));

    int format = 0, blockAlign = 0;
    Format f;
    bool haveFormat = false, haveData = false;
    // Chunks are walked by their headers; only "fmt " is read whole.
    for (qint64 at = 12; at + 8 <= size && !(haveFormat && haveData);) {
        char header[8];
        if (!file->seek(at) || file->read(header, 8) != 8)
            break;
        const qint64 chunk = u32(header + 4);
        const qint64 body = std::min(chunk, size - at - 8);
        if (std::memcmp(header, "fmt ", 4) == 0 && body >= 16) {
            char fmt[40] = {};
            file->read(fmt, std::min<qint64>(body, 40));
            format = u16(fmt);
            f.channels = u16(fmt + 2);
            f.rate = static_cast<int>(std::min<quint32>(u32(fmt + 4), INT32_MAX));
            blockAlign = u16(fmt + 12);
            f.bits = u16(fmt + 14);
            if (format == 0xFFFE && body >= 40) // WAVE_FORMAT_EXTENSIBLE: the sub-format's tag
                format = u16(fmt + 24);
            haveFormat = true;
        } else if (std::memcmp(header, "data", 4) == 0) {
            f.dataOffset = at + 8;
            // A header may claim more than was written (a recording cut short).
            f.dataBytes = body;
            haveData = true;
        }
        at += 8 + chunk + (chunk & 1);
    }
    if (!haveFormat)
        return fail(QStringLiteral("not a WAV file"));
    const bool integer =
        format == 1 && (f.bits == 8 || f.bits == 16 || f.bits == 24 || f.bits == 32);
    f.isFloat = format == 3 && f.bits == 32;
    if (!(integer || f.isFloat))
        return fail(QStringLiteral("unsupported WAV encoding (PCM or 32-bit float expected)"));
    if (f.channels < 1 || f.channels > AudioResampler::maxChannels)
        return fail(QStringLiteral("unsupported channel count %1 (1 to %2)")
                        .arg(f.channels)
                        .arg(AudioResampler::maxChannels));
    if (f.rate < AudioResampler::minRate || f.rate > AudioResampler::maxRate)
        return fail(QStringLiteral("unsupported sample rate %1 Hz (1 kHz to 384 kHz)").arg(f.rate));
    if (blockAlign != f.frameBytes())
        return fail(QStringLiteral("damaged WAV header (block alignment %1 for %2 channels of "
                                   "%3 bits)")
                        .arg(blockAlign)
                        .arg(f.channels)
                        .arg(f.bits));
    if (!haveData)
        return fail(QStringLiteral("no audio in the WAV file"));
    f.dataBytes -= f.dataBytes % f.frameBytes();
    return std::unique_ptr<WavFileSource>(new WavFileSource(std::move(file), f));
}

std::optional<std::vector<float>> WavFileSource::read(const QString &path, QString *error) {
    auto source = open(path, error);
    if (!source)
        return std::nullopt;
    std::vector<float> all;
    source->start([&all](const float *samples,
                         std::size_t n) { all.insert(all.end(), samples, samples + n); },
                  nullptr);
    while (source->pump(60)) {
    }
    return all;
}

WavFileSource::WavFileSource(std::vector<float> samples)
    : m_samples(std::move(samples)) {}

WavFileSource::WavFileSource(std::unique_ptr<QFile> file, Format format)
    : m_file(std::move(file))
    , m_format(format)
    , m_resampler(std::make_unique<AudioResampler>(format.rate, format.channels)) {}

bool WavFileSource::start(Sink sink, QString *) {
    m_sink = std::move(sink);
    return true;
}

void WavFileSource::stop() {
    m_sink = nullptr;
}

double WavFileSource::seconds() const {
    const double recorded =
        m_file ? static_cast<double>(m_format.dataBytes / m_format.frameBytes()) / m_format.rate
               : static_cast<double>(m_samples.size()) / sampleRate;
    return recorded + m_silence;
}

void WavFileSource::fill(std::size_t wanted) {
    // About a second of the file at a time.
    const qint64 step = static_cast<qint64>(m_format.rate) * m_format.frameBytes();
    std::vector<char> bytes;
    std::vector<float> interleaved;
    while (m_pending.size() < wanted && !m_flushed) {
        const qint64 left = m_format.dataBytes - m_read;
        const qint64 n = std::min(step, left);
        if (n > 0 && m_file->seek(m_format.dataOffset + m_read)) {
            bytes.resize(static_cast<std::size_t>(n));
            const qint64 got = m_file->read(bytes.data(), n);
            const qint64 whole = got > 0 ? got - got % m_format.frameBytes() : 0;
            m_read += whole > 0 ? whole : left; // a read error ends the recording
            const std::size_t frames = static_cast<std::size_t>(whole / m_format.frameBytes());
            interleaved.resize(frames * static_cast<std::size_t>(m_format.channels));
            pcmToFloat(bytes.data(), interleaved.size(), m_format.bits, m_format.isFloat,
                       interleaved.data());
            m_resampler->push(interleaved.data(), frames, m_pending);
            continue;
        }
        // A little silence after the end lets the filter give out the last
        // samples (it looks 16 input samples ahead).
        const std::size_t tailFrames = 17;
        const std::vector<float> tail(tailFrames * static_cast<std::size_t>(m_format.channels),
                                      0.0f);
        m_resampler->push(tail.data(), tailFrames, m_pending);
        m_flushed = true;
    }
}

bool WavFileSource::pump(double seconds) {
    if (!m_sink)
        return false;
    const auto wanted = static_cast<std::size_t>(std::max(1.0, seconds * sampleRate));
    std::size_t n = 0;
    if (m_file) {
        fill(wanted);
        n = std::min(wanted, m_pending.size());
        if (n > 0) {
            m_sink(m_pending.data(), n);
            m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(n));
        }
    } else if (m_at < m_samples.size()) {
        n = std::min(m_samples.size() - m_at, wanted);
        m_sink(m_samples.data() + m_at, n);
        m_at += n;
    }
    const bool recordingDone = m_file ? (m_flushed && m_pending.empty()) : m_at >= m_samples.size();
    const auto silence = static_cast<std::size_t>(m_silence * sampleRate);
    if (recordingDone && n < wanted && m_silenceDelivered < silence && m_sink) {
        const std::size_t quiet = std::min(wanted - n, silence - m_silenceDelivered);
        const std::vector<float> zeros(quiet, 0.0f);
        m_sink(zeros.data(), quiet);
        m_silenceDelivered += quiet;
        n += quiet;
    }
    m_delivered += n;
    return !(recordingDone && m_silenceDelivered >= silence);
}

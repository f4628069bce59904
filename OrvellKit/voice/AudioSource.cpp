#include "voice/AudioSource.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {
constexpr int halfTaps = 16;
}

void pcmToFloat(const char *p, std::size_t samples, int bits, bool isFloat, float *out) {
    const auto byte = [&](int i) { return static_cast<quint32>(static_cast<unsigned char>(p[i])); };
    for (std::size_t i = 0; i < samples; ++i, p += bits / 8) {
        if (isFloat) {
            const quint32 raw = qFromLittleEndian<quint32>(p);
            std::memcpy(&out[i], &raw, 4);
        } else if (bits == 8) {
            out[i] = (static_cast<float>(byte(0)) - 128) / 128.0f;
        } else if (bits == 16) {
            out[i] = qFromLittleEndian<qint16>(p) / 32768.0f;
        } else {
            // 24 bits sit in the top of a 32-bit value.
            const quint32 v = bits == 24 ? (byte(0) << 8 | byte(1) << 16 | byte(2) << 24)
                                         : qFromLittleEndian<quint32>(p);
            out[i] = static_cast<float>(static_cast<qint32>(v) / 2147483648.0);
        }
    }
}

AudioResampler::AudioResampler(int inputRate, int channels)
    : m_channels(std::max(1, channels))
    , m_step(static_cast<double>(std::max(1, inputRate)) / AudioSource::sampleRate)
    , m_cutoff(std::min(1.0, 1.0 / m_step) * 0.95)
    , m_position(halfTaps) {
    // Silence before the first sample, so the filter has history from the start.
    m_history.assign(halfTaps, 0.0f);
}

void AudioResampler::push(const float *interleaved, std::size_t frames, std::vector<float> &out) {
    for (std::size_t f = 0; f < frames; ++f) {
        float sum = 0;
        for (int c = 0; c < m_channels; ++c)
            sum +=
                interleaved[f * static_cast<std::size_t>(m_channels) + static_cast<std::size_t>(c)];
        m_history.push_back(sum / static_cast<float>(m_channels));
    }
    if (m_step == 1.0) {
        // Already 16 kHz: only the channels were mixed.
        const auto from = m_history.begin() + halfTaps;
        out.insert(out.end(), from, m_history.end());
        m_history.erase(from, m_history.end());
        return;
    }
    while (m_position + halfTaps < static_cast<double>(m_history.size())) {
        const auto centre = static_cast<std::ptrdiff_t>(std::floor(m_position));
        double acc = 0;
        for (std::ptrdiff_t k = centre - halfTaps + 1; k <= centre + halfTaps; ++k) {
            const double x = m_position - static_cast<double>(k);
            const double arg = M_PI * x * m_cutoff;
            const double sinc = std::abs(x) < 1e-9 ? 1.0 : std::sin(arg) / arg;
            const double window = 0.5 + 0.5 * std::cos(M_PI * x / halfTaps); // Hann
            acc += m_history[static_cast<std::size_t>(k)] * sinc * window;
        }
        out.push_back(static_cast<float>(acc * m_cutoff));
        m_position += m_step;
    }
    // Keep only the history the next output still needs.
    const auto drop = static_cast<std::ptrdiff_t>(std::floor(m_position)) - halfTaps;
    if (drop > 0) {
        m_history.erase(m_history.begin(), m_history.begin() + drop);
        m_position -= static_cast<double>(drop);
    }
}

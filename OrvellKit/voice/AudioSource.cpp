#include "voice/AudioSource.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {
constexpr int halfTaps = 16;
constexpr int taps = 2 * halfTaps;
constexpr int phases = 512;
} // namespace

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
    // Row p holds the taps for an output falling p/phases past an input
    // sample, tap j weighing the sample j - halfTaps + 1 from it; one row
    // more closes the range for interpolation.
    m_table.resize(static_cast<std::size_t>((phases + 1) * taps));
    for (int p = 0; p <= phases; ++p) {
        const double fraction = static_cast<double>(p) / phases;
        double sum = 0;
        float *row = m_table.data() + p * taps;
        for (int j = 0; j < taps; ++j) {
            const double x = fraction + halfTaps - 1 - j;
            const double arg = M_PI * x * m_cutoff;
            const double sinc = std::abs(x) < 1e-9 ? 1.0 : std::sin(arg) / arg;
            const double window =
                std::abs(x) >= halfTaps ? 0.0 : 0.5 + 0.5 * std::cos(M_PI * x / halfTaps); // Hann
            row[j] = static_cast<float>(sinc * window * m_cutoff);
            sum += row[j];
        }
        // Each row passes a steady level unchanged, also where the window is
        // shorter than the filter would like (a high rate brought down to 16 kHz).
        for (int j = 0; j < taps && sum > 0; ++j)
            row[j] = static_cast<float>(row[j] / sum);
    }
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
        const double at = (m_position - static_cast<double>(centre)) * phases;
        const auto row = std::min(static_cast<std::ptrdiff_t>(at), std::ptrdiff_t{phases - 1});
        const float mix = static_cast<float>(at - static_cast<double>(row));
        const float *lower = m_table.data() + row * taps;
        const float *upper = lower + taps;
        const float *x = m_history.data() + (centre - halfTaps + 1);
        float acc = 0;
        for (int j = 0; j < taps; ++j)
            acc += x[j] * (lower[j] + mix * (upper[j] - lower[j]));
        out.push_back(acc);
        m_position += m_step;
    }
    // Keep only the history the next output still needs; at a step of many
    // samples the next output may lie beyond what has come so far.
    const auto drop = std::min(static_cast<std::ptrdiff_t>(std::floor(m_position)) - halfTaps,
                               static_cast<std::ptrdiff_t>(m_history.size()));
    if (drop > 0) {
        m_history.erase(m_history.begin(), m_history.begin() + drop);
        m_position -= static_cast<double>(drop);
    }
}

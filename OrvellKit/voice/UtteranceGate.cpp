#include "voice/UtteranceGate.h"

#include <algorithm>
#include <cmath>

double UtteranceGate::thresholdDb() const {
    return std::max(absoluteQuietDb, m_floorDb + aboveFloorDb);
}

bool UtteranceGate::feed(const float *samples, std::size_t count) {
    m_closed = false;
    for (std::size_t i = 0; i < count; ++i) {
        m_sum += static_cast<double>(samples[i]) * samples[i];
        if (++m_filled == frameSamples) {
            const double rms = std::sqrt(m_sum / frameSamples);
            frame(20 * std::log10(std::max(rms, 1e-9)));
            m_sum = 0;
            m_filled = 0;
        }
    }
    return m_closed;
}

void UtteranceGate::frame(double db) {
    // The floor drops at once to a quieter frame and rises slowly (about
    // 3 dB a second), so speech barely lifts it but a louder room soon does.
    if (!m_floorKnown || db < m_floorDb) {
        m_floorDb = db;
        m_floorKnown = true;
    } else {
        m_floorDb += std::min(db - m_floorDb, 0.03);
    }
    const bool quiet = db < thresholdDb();
    if (!quiet) {
        m_inSpeech = true;
        m_quietFrames = 0;
        return;
    }
    if (!m_inSpeech)
        return;
    if (++m_quietFrames >= static_cast<int>(std::lround(closingQuietSeconds * 100))) {
        m_inSpeech = false;
        m_quietFrames = 0;
        m_closed = true;
    }
}

#include "pace/SpeechRhythm.h"

#include <algorithm>
#include <cmath>

namespace SpeechRhythm {

EnvelopeFollower::EnvelopeFollower(double sampleRate)
    : m_window(std::max<size_t>(1, static_cast<size_t>(sampleRate * frameSeconds)))
    , m_rate(sampleRate) {}

void EnvelopeFollower::push(const float *samples, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        m_sum += static_cast<double>(samples[i]) * samples[i];
        if (++m_inWindow == m_window) {
            m_envelope.push_back(
                static_cast<float>(std::sqrt(m_sum / static_cast<double>(m_window))));
            m_sum = 0;
            m_inWindow = 0;
        }
    }
    m_total += count;
}

std::vector<float> EnvelopeFollower::finish() {
    std::vector<float> out = m_envelope;
    if (m_inWindow > 0)
        out.push_back(static_cast<float>(std::sqrt(m_sum / static_cast<double>(m_inWindow))));
    return out;
}

double EnvelopeFollower::seconds() const {
    return m_rate > 0 ? static_cast<double>(m_total) / m_rate : 0;
}

std::vector<float> envelope(const std::vector<float> &samples, double sampleRate) {
    EnvelopeFollower follower(sampleRate);
    follower.push(samples.data(), samples.size());
    return follower.finish();
}

std::vector<std::pair<double, double>> silentRuns(const std::vector<float> &env, float threshold) {
    std::vector<std::pair<double, double>> runs;
    size_t i = 0;
    while (i < env.size()) {
        if (env[i] > threshold) {
            ++i;
            continue;
        }
        const size_t a = i;
        while (i < env.size() && env[i] <= threshold)
            ++i;
        const double from = a * frameSeconds, to = i * frameSeconds;
        // Compared in frames, so 3 frames of 10 ms always make the 30 ms cut.
        if (i - a >= static_cast<size_t>(std::lround(shortestSilence / frameSeconds)))
            runs.emplace_back(from, to);
    }
    return runs;
}

std::vector<double> wordStarts(const ScriptWords &words, const std::vector<Marker> &markers,
                               double duration) {
    const size_t n = words.words.size();
    std::vector<std::optional<double>> marked(n);
    size_t m = 0;
    std::vector<bool> used(markers.size(), false);
    for (size_t w = 0; w < n; ++w) {
        const auto &word = words.words[w];
        while (m < markers.size() && markers[m].location + markers[m].length <= word.location)
            ++m;
        if (m < markers.size() && !used[m]) {
            const int overlap = std::min(word.end(), markers[m].location + markers[m].length) -
                                std::max(word.location, markers[m].location);
            if (overlap > 0) {
                marked[w] = markers[m].start;
                used[m] = true;
            }
        }
    }

    std::vector<double> starts(n, 0);
    const double lastEnd = n > 0 ? words.words.back().end() : 0;
    double previous = 0;
    for (size_t w = 0; w < n; ++w) {
        double t;
        if (marked[w]) {
            t = *marked[w];
        } else {
            double t0 = 0, c0 = 0, t1 = duration, c1 = lastEnd;
            for (size_t k = w; k-- > 0;) {
                if (marked[k]) {
                    t0 = *marked[k];
                    c0 = words.words[k].location;
                    break;
                }
            }
            for (size_t k = w + 1; k < n; ++k) {
                if (marked[k]) {
                    t1 = *marked[k];
                    c1 = words.words[k].location;
                    break;
                }
            }
            const double fraction = c1 > c0 ? (words.words[w].location - c0) / (c1 - c0) : 0;
            t = t0 + fraction * (t1 - t0);
        }
        t = std::max(t, previous);
        starts[w] = t;
        previous = t;
    }
    return starts;
}

std::vector<WordRhythm> rhythm(const ScriptWords &words, const std::vector<Marker> &markers,
                               const std::vector<float> &env, double duration) {
    const size_t n = words.words.size();
    if (n == 0)
        return {};
    const std::vector<double> starts = wordStarts(words, markers, duration);
    const float loudest = env.empty() ? 0.0f : *std::max_element(env.begin(), env.end());
    const float threshold = silenceRatio * loudest;
    const auto runs = silentRuns(env, threshold);

    std::vector<double> begin(n, 0), end(n, 0);
    begin[0] = starts[0];
    for (size_t f = static_cast<size_t>(std::max(0.0, std::floor(starts[0] / frameSeconds)));
         f < env.size(); ++f) {
        if (env[f] > threshold) {
            begin[0] = f * frameSeconds;
            break;
        }
    }
    for (size_t i = 0; i + 1 < n; ++i) {
        const double b = starts[i + 1];
        const std::pair<double, double> *best = nullptr;
        for (const auto &run : runs) {
            if (run.first > begin[i] && run.first < b + boundarySlack &&
                (!best || std::fabs(run.second - b) < std::fabs(best->second - b)))
                best = &run;
        }
        if (best && std::fabs(best->second - b) <= boundaryReach) {
            end[i] = best->first;
            begin[i + 1] = best->second;
        } else {
            end[i] = begin[i + 1] = std::max(b, begin[i]);
        }
    }
    double lastLoud = duration;
    for (size_t f = env.size(); f-- > 0;) {
        if (env[f] > threshold) {
            lastLoud = (f + 1) * frameSeconds;
            break;
        }
    }
    end[n - 1] = std::max(lastLoud, begin[n - 1]);

    std::vector<WordRhythm> out(n);
    for (size_t i = 0; i < n; ++i) {
        out[i].speak = std::max(0.0, end[i] - begin[i]);
        out[i].pauseAfter = i + 1 < n ? std::max(0.0, begin[i + 1] - end[i]) : 0;
    }
    return out;
}

std::optional<std::vector<WordRhythm>> fromRendering(const ScriptWords &words,
                                                     const Rendering &rendering) {
    if (words.count() == 0)
        return std::vector<WordRhythm>();
    if (rendering.markers.empty() || !(rendering.sampleRate > 0))
        return std::nullopt;
    if (!rendering.envelope.empty())
        return rhythm(words, rendering.markers, rendering.envelope, rendering.duration);
    if (rendering.samples.empty())
        return std::nullopt;
    const auto env = envelope(rendering.samples, rendering.sampleRate);
    return rhythm(words, rendering.markers, env,
                  static_cast<double>(rendering.samples.size()) / rendering.sampleRate);
}

} // namespace SpeechRhythm

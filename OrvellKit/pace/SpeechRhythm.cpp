#include "pace/SpeechRhythm.h"

#include <algorithm>
#include <cmath>

namespace SpeechRhythm {

std::vector<float> envelope(const std::vector<float> &samples, double sampleRate) {
    const size_t window = std::max<size_t>(1, static_cast<size_t>(sampleRate * frameSeconds));
    std::vector<float> out;
    out.reserve(samples.size() / window + 1);
    for (size_t at = 0; at < samples.size(); at += window) {
        const size_t n = std::min(window, samples.size() - at);
        double sum = 0;
        for (size_t i = 0; i < n; ++i)
            sum += static_cast<double>(samples[at + i]) * samples[at + i];
        out.push_back(static_cast<float>(std::sqrt(sum / static_cast<double>(n))));
    }
    return out;
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
    if (rendering.markers.empty() || rendering.samples.empty() || !(rendering.sampleRate > 0))
        return std::nullopt;
    const auto env = envelope(rendering.samples, rendering.sampleRate);
    return rhythm(words, rendering.markers, env,
                  static_cast<double>(rendering.samples.size()) / rendering.sampleRate);
}

} // namespace SpeechRhythm

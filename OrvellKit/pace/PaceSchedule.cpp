#include "pace/PaceSchedule.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

bool usable(const std::optional<std::vector<WordRhythm>> &rhythm, const ScriptWords &words) {
    return rhythm && !rhythm->empty() && static_cast<int>(rhythm->size()) == words.count();
}

std::vector<double> measuredPauses(const std::vector<WordRhythm> &rhythm,
                                   const std::vector<PauseKind> &kinds, PauseStyle style) {
    std::vector<double> pauses(rhythm.size(), 0);
    for (size_t i = 0; i + 1 < rhythm.size(); ++i) {
        const double voice = rhythm[i].pauseAfter >= PaceSchedule::audiblePause
                                 ? rhythm[i].pauseAfter * PauseStyles::voiceScale(style)
                                 : 0;
        pauses[i] = std::max(voice, PauseStyles::seconds(style, kinds[i]));
    }
    return pauses;
}

// Lays the words out on the clock: durations share the speaking budget,
// pauses share a budget of at most 35 % of the target.
PaceSchedule walk(const ScriptWords &words, const std::vector<double> &durations,
                  const std::vector<double> &pauses, const std::vector<PauseKind> &kinds,
                  double target) {
    const double w = std::accumulate(durations.begin(), durations.end(), 0.0);
    const double p = std::accumulate(pauses.begin(), pauses.end(), 0.0);
    const double pauseBudget = p > 0 ? std::min(PaceSchedule::maxPauseShare * target, p) : 0;
    const double pauseScale = p > 0 ? pauseBudget / p : 0;
    const double speaking = target - pauseBudget;
    PaceSchedule schedule;
    schedule.wordSlots.reserve(words.words.size());
    double t = 0;
    for (size_t i = 0; i < words.words.size(); ++i) {
        const auto &word = words.words[i];
        PaceSchedule::Slot slot;
        slot.from = word.location;
        slot.to = word.location + word.length;
        slot.start = t;
        slot.end = slot.start + (w > 0 ? durations[i] * speaking / w : 0);
        slot.pauseEnd = slot.end + pauses[i] * pauseScale;
        slot.pause = kinds[i];
        schedule.wordSlots.push_back(slot);
        t = slot.pauseEnd;
    }
    schedule.total = t;
    return schedule;
}

} // namespace

PauseKind PaceSchedule::pauseKind(QStringView gap) {
    bool hyphen = false, space = false, comma = false, clause = false, sentence = false;
    for (QChar c : gap) {
        switch (c.unicode()) {
        case u'\n':
        case u'\v':
        case u'\f':
        case u'\r':
        case 0x0085:
        case 0x2028:
        case 0x2029:
            return PauseKind::paragraph;
        case u'.':
        case u'!':
        case u'?':
        case 0x2026:
            sentence = true;
            break;
        case u':':
        case u';':
        case 0x2014:
        case 0x2013:
            clause = true;
            break;
        case u'-':
            hyphen = true;
            break;
        case u',':
            comma = true;
            break;
        default:
            space = space || c.isSpace();
        }
    }
    if (sentence)
        return PauseKind::sentence;
    if (clause || (hyphen && space))
        return PauseKind::clause;
    return comma ? PauseKind::comma : PauseKind::none;
}

std::vector<PauseKind> PaceSchedule::gapKinds(const ScriptWords &words) {
    std::vector<PauseKind> kinds(words.words.size(), PauseKind::none);
    // A cue's own punctuation ("[look up.]") is no pause; a cue or heading
    // on a line of its own still breaks the paragraph.
    const QString spoken = words.spokenText();
    for (size_t i = 0; i + 1 < words.words.size(); ++i) {
        const int from = words.words[i].end();
        const int to = words.words[i + 1].location;
        if (to > from)
            kinds[i] = pauseKind(QStringView(spoken).mid(from, to - from));
    }
    return kinds;
}

double PaceSchedule::pauseSeconds(const ScriptWords &words, PauseStyle style,
                                  const std::optional<std::vector<WordRhythm>> &rhythm) {
    const auto kinds = gapKinds(words);
    if (usable(rhythm, words)) {
        const auto pauses = measuredPauses(*rhythm, kinds, style);
        return std::accumulate(pauses.begin(), pauses.end(), 0.0);
    }
    double sum = 0;
    for (PauseKind k : kinds)
        sum += PauseStyles::seconds(style, k);
    return sum;
}

double PaceSchedule::naturalSeconds(const ScriptWords &words, PauseStyle style,
                                    const std::optional<std::vector<WordRhythm>> &rhythm) {
    if (words.count() == 0)
        return 0;
    return words.count() / naturalWPM * 60 + pauseSeconds(words, style, rhythm);
}

std::pair<double, double>
PaceSchedule::allowedRange(const ScriptWords &words, PauseStyle style,
                           const std::optional<std::vector<WordRhythm>> &rhythm) {
    if (words.count() == 0)
        return {0, 0};
    const double p = pauseSeconds(words, style, rhythm);
    const double lo = std::ceil(words.count() / fastestWPM * 60 + p);
    const double hi = std::max(lo, std::floor(words.count() / slowestWPM * 60 + p));
    return {lo, hi};
}

double PaceSchedule::clampTarget(double t, const ScriptWords &words, PauseStyle style,
                                 const std::optional<std::vector<WordRhythm>> &rhythm) {
    if (words.count() == 0)
        return 0;
    const auto [lo, hi] = allowedRange(words, style, rhythm);
    return t < lo ? lo : (t > hi ? hi : t);
}

PaceSchedule PaceSchedule::estimate(const ScriptWords &words, PauseStyle style, double target) {
    if (words.count() == 0 || !(target > 0))
        return {};
    const auto kinds = gapKinds(words);
    double sum = 0;
    for (const auto &w : words.words)
        sum += w.length;
    const double mean = words.count() == 1 ? sum : sum / words.count();
    const double m = std::max(1.0, mean);
    std::vector<double> weights, pauses;
    for (size_t i = 0; i < words.words.size(); ++i) {
        weights.push_back(0.6 + 0.4 * words.words[i].length / m);
        pauses.push_back(PauseStyles::seconds(style, kinds[i]));
    }
    return walk(words, weights, pauses, kinds, target);
}

PaceSchedule PaceSchedule::measured(const ScriptWords &words,
                                    const std::optional<std::vector<WordRhythm>> &rhythm,
                                    PauseStyle style, double target) {
    const bool speaks =
        usable(rhythm, words) && std::any_of(rhythm->begin(), rhythm->end(),
                                             [](const WordRhythm &r) { return r.speak > 0; });
    if (!speaks)
        return estimate(words, style, target);
    if (!(target > 0))
        return {};
    const auto kinds = gapKinds(words);
    std::vector<double> speak;
    for (const WordRhythm &r : *rhythm)
        speak.push_back(r.speak);
    std::vector<double> sorted = speak;
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<long>(sorted.size() / 2),
                     sorted.end());
    const double floor = std::max(0.02, minimumShareOfTypical * sorted[sorted.size() / 2]);
    for (double &d : speak)
        d = std::max(d, floor);
    return walk(words, speak, measuredPauses(*rhythm, kinds, style), kinds, target);
}

int PaceSchedule::slotIndex(double t) const {
    if (wordSlots.size() < 2)
        return 0;
    int lo = 0, hi = static_cast<int>(wordSlots.size()) - 1;
    while (lo < hi) {
        const int mid = (lo + hi + 1) / 2;
        if (t >= wordSlots[static_cast<size_t>(mid)].start)
            lo = mid;
        else
            hi = mid - 1;
    }
    return lo;
}

double PaceSchedule::offset(double t) const {
    if (wordSlots.empty())
        return 0;
    const Slot &s = wordSlots[static_cast<size_t>(slotIndex(t))];
    if (t >= s.end)
        return s.to;
    if (t <= s.start)
        return s.from;
    return s.from + (s.to - s.from) * (t - s.start) / (s.end - s.start);
}

bool PaceSchedule::isPausing(double t) const {
    return !wordSlots.empty() && t < total && t >= wordSlots[static_cast<size_t>(slotIndex(t))].end;
}

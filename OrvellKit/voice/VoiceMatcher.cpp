#include "voice/VoiceMatcher.h"

#include <QSet>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <cstdlib>

namespace {

QString runKey(const QStringList &words, qsizetype from, qsizetype length) {
    QString key;
    for (qsizetype i = from; i < from + length; ++i) {
        if (i > from)
            key += QChar(0x1f);
        key += words[i];
    }
    return key;
}

// Words of more than three letters that say nothing about where in a script
// they are: pronouns, auxiliaries, conjunctions, prepositions and the like,
// as keys (letters only, so "that's" is "thats").
const QSet<QString> &functionWords() {
    static const QSet<QString> words = [] {
        QSet<QString> out;
        for (const QString &w :
             QStringLiteral(
                 "about above across after again against along also although among another "
                 "anything because been before behind being below beneath beside besides between "
                 "beyond both cant could couldnt didnt does doesnt doing done dont down during "
                 "each either else even ever every from going gonna have having hers herself "
                 "himself however into isnt itself just least less like many maybe might more "
                 "most much must myself neither never none nothing once only onto other ought "
                 "ours ourselves over quite rather really same shall should since some something "
                 "such than that thats their theirs them themselves then there theres these "
                 "they theyd theyll theyre theyve this those though through thus till toward "
                 "towards under unless until upon very wasnt well were werent weve what whatever "
                 "whats when where whether which while whom whose will with within without wont "
                 "would wouldnt yeah your youre yours yourself youve youll")
                 .split(QLatin1Char(' ')))
            out.insert(w);
        return out;
    }();
    return words;
}

// The last `count` words heard, the recogniser's empty ones left out.
QStringList lastWords(const QStringList &heard, int count) {
    QStringList out;
    for (auto it = heard.crbegin(); it != heard.crend() && out.size() < count; ++it)
        if (!it->isEmpty())
            out.prepend(*it);
    return out;
}

} // namespace

VoiceMatcher::VoiceMatcher(const ScriptWords &words) {
    keys.reserve(words.count());
    for (const auto &w : words.words)
        keys << w.key;
    m_runs.reserve(keys.size());
    for (qsizetype i = 0; i + distinctiveRun <= keys.size(); ++i) {
        const QString key = runKey(keys, i, distinctiveRun);
        const auto at = m_runs.constFind(key);
        m_runs.insert(key, at == m_runs.cend() ? static_cast<int>(i) : -1);
    }
}

QStringList VoiceMatcher::characters(const QString &word) {
    QStringList out;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, word);
    qsizetype from = 0;
    for (qsizetype at = finder.toNextBoundary(); at != -1; at = finder.toNextBoundary()) {
        if (at > from)
            out << word.mid(from, at - from);
        from = at;
    }
    return out;
}

int VoiceMatcher::editDistance(const QStringList &a, const QStringList &b) {
    if (a.isEmpty())
        return static_cast<int>(b.size());
    if (b.isEmpty())
        return static_cast<int>(a.size());
    std::vector<int> previous(static_cast<size_t>(b.size()) + 1), current(previous.size());
    for (size_t j = 0; j < previous.size(); ++j)
        previous[j] = static_cast<int>(j);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        current[0] = static_cast<int>(i);
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const int substitution =
                previous[static_cast<size_t>(j - 1)] + (a[i - 1] == b[j - 1] ? 0 : 1);
            current[static_cast<size_t>(j)] =
                std::min({previous[static_cast<size_t>(j)] + 1,
                          current[static_cast<size_t>(j - 1)] + 1, substitution});
        }
        std::swap(previous, current);
    }
    return previous.back();
}

bool VoiceMatcher::isStrong(const QString &word) {
    // Most words are plain ASCII: their length is their character count.
    return characters(word).size() > weakWordLength;
}

bool VoiceMatcher::isDistinctive(const QString &word) {
    return isStrong(word) && !functionWords().contains(word);
}

bool VoiceMatcher::similar(const QString &a, const QString &b) {
    if (a == b)
        return true;
    const QStringList ca = characters(a), cb = characters(b);
    if (ca.size() <= weakWordLength || cb.size() <= weakWordLength)
        return false;
    const double similarity =
        1.0 - static_cast<double>(editDistance(ca, cb)) / std::max(ca.size(), cb.size());
    return similarity >= similarityThreshold;
}

bool VoiceMatcher::Alignment::isBetter(const Alignment &other, int cursor) const {
    if (score != other.score)
        return score > other.score;
    if (strong != other.strong)
        return strong > other.strong;
    return std::abs(end - cursor) < std::abs(other.end - cursor);
}

VoiceMatcher::Alignment VoiceMatcher::align(const QStringList &tail, int e) const {
    Alignment a{e, 1, isStrong(tail.last()) ? 1 : 0, 1u << (tail.size() - 1), e};
    int skips = 2;
    if (tail.size() == 1 || e == 0)
        return a;
    int i = static_cast<int>(tail.size()) - 2;
    int k = e - 1;
    for (;;) {
        if (similar(tail[i], keys[k])) {
            a.score += 1;
            a.matched |= 1u << i;
            a.begin = k;
            if (isStrong(tail[i]))
                a.strong += 1;
            if (i == 0 || k == 0)
                return a;
            --i;
            --k;
        } else if (skips == 0) {
            return a;
        } else if (k >= 1 && similar(tail[i], keys[k - 1])) {
            --skips; // a script word was skipped, or not heard
            --k;
        } else if (i >= 1 && similar(tail[i - 1], keys[k])) {
            --skips; // an extra word was heard: a filler or a misrecognition
            --i;
        } else {
            return a;
        }
    }
}

std::optional<int> VoiceMatcher::newWordsAtCursor(const QStringList &tail) const {
    // The cursor may already be a guessed word or two past the reader.
    const int from = std::max(0, cursor - lookBehind);
    const int to = std::min(cursor, static_cast<int>(keys.size())) - 1;
    for (int fresh = 1; fresh <= 2; ++fresh) {
        const QStringList said = tail.mid(0, tail.size() - fresh);
        if (said.size() < 2)
            break;
        for (int e = to; e >= from; --e)
            if (similar(said.last(), keys[e]) && align(said, e).score >= 2)
                return fresh;
    }
    return std::nullopt;
}

bool VoiceMatcher::restsOnNewWords(const QStringList &tail, const Alignment &a) const {
    // Where the cursor is: the words just read and those a reader here
    // would be saying now, short of the place the words lined up with.
    const int from = std::max(0, cursor - lookBehind);
    const int to = std::min({cursor + tailLength + 1, a.begin, static_cast<int>(keys.size())});
    for (int i = 0; i < tail.size(); ++i) {
        if (!(a.matched & (1u << i)) || !isStrong(tail[i]))
            continue;
        bool here = false;
        for (int k = from; k < to && !here; ++k)
            here = similar(tail[i], keys[k]);
        if (!here)
            return true;
    }
    return false;
}

bool VoiceMatcher::fitsElsewhere(const QStringList &tail, const Alignment &best) const {
    const int from = std::max(0, cursor - ambiguityBehind);
    const int to = std::min(cursor + lookAhead, static_cast<int>(keys.size()) - 1);
    for (int e = from; e <= to; ++e) {
        if (std::abs(e - best.end) <= 1 || !similar(tail.last(), keys[e]))
            continue;
        const Alignment other = align(tail, e);
        if (other.score >= 2 && other.score >= best.score - 1)
            return true;
    }
    return false;
}

std::optional<VoiceMatcher::Alignment> VoiceMatcher::behindCursor(const QStringList &tail) const {
    std::optional<Alignment> best;
    const int from = std::max(0, cursor - ambiguityBehind);
    const int to = std::min(cursor - lookBehind, static_cast<int>(keys.size())) - 1;
    for (int e = from; e <= to; ++e)
        if (similar(tail.last(), keys[e])) {
            const Alignment a = align(tail, e);
            if (!best || a.score > best->score)
                best = a;
        }
    return best;
}

std::optional<int> VoiceMatcher::distinctivePlace(const QStringList &heard) const {
    const QStringList run = lastWords(heard, distinctiveRun);
    if (run.size() < distinctiveRun)
        return std::nullopt;
    // Two strong words, and not all of them words every script has: "that
    // there will have" could be anywhere.
    if (std::count_if(run.cbegin(), run.cend(), &VoiceMatcher::isStrong) < 2 ||
        std::none_of(run.cbegin(), run.cend(), &VoiceMatcher::isDistinctive))
        return std::nullopt;
    const int at = m_runs.value(runKey(run, 0, distinctiveRun), -1);
    if (at < cursor)
        return std::nullopt;
    return at + distinctiveRun;
}

bool VoiceMatcher::ingest(const QStringList &heard) {
    const QStringList tail = lastWords(heard, tailLength);
    if (tail.isEmpty() || keys.isEmpty())
        return false;
    const int from = std::max(0, cursor - lookBehind);
    const int to = std::min(cursor + lookAhead, static_cast<int>(keys.size()) - 1);
    std::vector<Alignment> candidates;
    for (int e = from; e <= to; ++e)
        if (similar(tail.last(), keys[e]))
            candidates.push_back(align(tail, e));

    // Words a reader at the cursor has only just said can move it a step
    // or two, never a line.
    int reach = lookAhead + 1;
    if (const auto fresh = newWordsAtCursor(tail))
        reach = shortMove + *fresh - 1;
    const auto pick = [&](int limit) {
        std::optional<Alignment> best;
        for (const Alignment &c : candidates)
            if (c.end + 1 - cursor <= limit && (!best || c.isBetter(*best, cursor)))
                best = c;
        return best;
    };
    std::optional<Alignment> best = pick(reach);
    if (best && best->end + 1 - cursor > shortMove && fitsElsewhere(tail, *best))
        best = pick(shortMove); // the nearest consistent place, or none: wait

    // A reader going over what they already read (a stumble restarted, a
    // sentence said twice): the words fit well behind the cursor, better than
    // anywhere ahead. The cursor waits where the reader had been until they
    // are back there, rather than creeping on a word that also comes next.
    const std::optional<Alignment> behind = behindCursor(tail);
    if (behind && behind->score >= retakeScore && best && best->score < behind->score)
        best.reset();
    // The recogniser's newest word is its least certain: a short word
    // guessed after a phrase said again ("for the" where the reader says
    // "for lunch"), or a misheard one ("plant the tool" for "plant the
    // tomatoes" said again), can make the phrase fit ahead. Five words
    // before it that all fit behind are the reader going over them: no
    // short word, and no single word, moves the cursor further then.
    if (best && (!isStrong(tail.last()) || best->end + 1 - cursor > shortMove)) {
        QStringList before = lastWords(heard, tailLength + 2);
        before.removeLast();
        const auto again = before.size() > tailLength ? behindCursor(before) : std::nullopt;
        if (again && again->score >= before.size())
            best.reset();
    }

    bool accept = false;
    if (best) {
        const int advance = best->end + 1 - cursor;
        if (advance <= 0)
            accept = false;
        else if (advance == 1)
            accept = true;
        else if (advance <= shortMove)
            accept = best->score >= 2 || best->strong >= 1;
        // Further, the words that line up must not all be words of where
        // the cursor is: "team two will" heard for "team one will" is the
        // reader here, misheard, not at the next team.
        else if (advance <= longMove)
            accept = best->score >= 2 && best->strong >= 1 && restsOnNewWords(tail, *best);
        else
            accept = best->strong >= 2 && restsOnNewWords(tail, *best);
    }
    if (accept) {
        cursor = best->end + 1;
        return true;
    }
    // A run that begins with words the cursor already explains is the
    // recogniser guessing the next word, not the reader elsewhere.
    if (reach <= shortMove + 1)
        return false;
    // Every word of it just read again: however rare the run, it is behind.
    if (behind && behind->score >= static_cast<int>(tail.size()))
        return false;
    if (const auto place = distinctivePlace(heard)) {
        cursor = *place;
        return true;
    }
    return false;
}

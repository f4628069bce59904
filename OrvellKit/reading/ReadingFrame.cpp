#include "reading/ReadingFrame.h"

#include "playback/ScrollEngine.h"
#include "settings/SettingsStore.h"

#include <algorithm>
#include <cmath>
#include <limits>

void ReadingFrame::attach(SelectedScript &script, ReadingPreferences &prefs, ScrollEngine &scroll) {
    m_script = &script;
    m_prefs = &prefs;
    m_scroll = &scroll;
}

std::optional<double> ReadingFrame::targetSeconds() const {
    return m_script ? m_script->targetSeconds() : std::nullopt;
}

std::shared_ptr<const ScriptWords> ReadingFrame::sharedWords(const QString &text, bool cues) {
    // The few word lists still held; the readers of one script ask for one text.
    static std::vector<std::weak_ptr<const ScriptWords>> recent;
    std::erase_if(recent, [](const auto &weak) { return weak.expired(); });
    for (const auto &weak : recent)
        if (auto words = weak.lock(); words && words->text == text && words->cues == cues)
            return words;
    auto words = std::make_shared<const ScriptWords>(text, cues);
    recent.push_back(words);
    return words;
}

bool ReadingFrame::readText() {
    const QString text = m_script ? m_script->text() : QString();
    const QString identity = m_script ? m_script->identity() : QString();
    const bool cues = !m_prefs || m_prefs->bracketsAreCues();
    if (text == m_words->text && cues == m_words->cues) {
        m_identity = identity;
        return false;
    }
    m_edited = !m_words->text.isEmpty() && identity == m_identity && !identity.isEmpty();
    m_identity = identity;
    m_previousWords = std::move(m_words);
    m_words = sharedWords(text, cues);
    m_layout.reset();
    return true;
}

int ReadingFrame::wordAfterEdit(int oldWord) const {
    const ScriptWords &before = *m_previousWords;
    const ScriptWords &now = *m_words;
    if (now.count() == 0 || before.count() == 0)
        return 0;
    oldWord = std::clamp(oldWord, 0, before.count() - 1);
    const QString &a = before.text;
    const QString &b = now.text;
    qsizetype prefix = 0;
    const qsizetype shorter = std::min(a.size(), b.size());
    while (prefix < shorter && a[prefix] == b[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < shorter - prefix && a[a.size() - 1 - suffix] == b[b.size() - 1 - suffix])
        ++suffix;
    const qsizetype at = before.words[static_cast<size_t>(oldWord)].location;
    qsizetype mapped = prefix;
    if (at < prefix)
        mapped = at;
    else if (at >= a.size() - suffix)
        mapped = at + (b.size() - a.size());
    // The first word that starts at or after the mapped position.
    const auto &words = now.words;
    const auto it = std::lower_bound(words.begin(), words.end(), mapped,
                                     [](const auto &w, qsizetype p) { return w.location < p; });
    return std::min(static_cast<int>(it - words.begin()), now.count() - 1);
}

namespace {

// The line height the layout was built with, which is the one drawn.
double lineHeightOf(const ScriptLayout &layout) {
    return layout.key().lineHeightMultiple * layout.key().fontSize;
}

} // namespace

int ReadingFrame::wordAtReadingLine(const ScriptLayout &layout, const ScriptWords &words,
                                    double offset, double viewportHeight) {
    if (words.count() == 0 || layout.lines().empty())
        return 0;
    const double lineHeight = lineHeightOf(layout);
    const double y = ReadingLine::yAt(offset, lineHeight, viewportHeight);
    int best = 0;
    double distance = std::numeric_limits<double>::infinity();
    for (int w = 0; w < words.count(); ++w) {
        const double d = std::abs(layout.midY(w) - y);
        if (d < distance) {
            distance = d;
            best = w;
        } else if (d > distance + lineHeight) {
            break; // past the line: the lines only go down from here
        }
    }
    return best;
}

int ReadingFrame::wordFromReadingLine(const ScriptLayout &layout, const ScriptWords &words,
                                      double offset, double viewportHeight) {
    if (words.count() == 0 || layout.lines().empty())
        return 0;
    const double lineHeight = lineHeightOf(layout);
    const double from = ReadingLine::yAt(offset, lineHeight, viewportHeight) - 0.5 * lineHeight;
    int lo = 0, hi = words.count();
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (layout.midY(mid) < from)
            lo = mid + 1;
        else
            hi = mid;
    }
    return std::min(lo, words.count() - 1);
}

int ReadingFrame::lineAtReadingLine(const ScriptLayout &layout, double offset,
                                    double viewportHeight) {
    const auto &lines = layout.lines();
    if (lines.empty())
        return 0;
    const double y = ReadingLine::yAt(offset, lineHeightOf(layout), viewportHeight);
    const auto it = std::lower_bound(lines.begin(), lines.end(), y,
                                     [](const ScriptLayout::Line &l, double at) {
                                         return l.bottom <= at;
                                     });
    return static_cast<int>(std::min<std::ptrdiff_t>(it - lines.begin(),
                                                     static_cast<std::ptrdiff_t>(lines.size()) - 1));
}

double ReadingFrame::offsetForLine(const ScriptLayout &layout, int line, double viewportHeight,
                                   double contentHeight) {
    if (layout.lines().empty())
        return 0;
    line = std::clamp(line, 0, static_cast<int>(layout.lines().size()) - 1);
    double y = layout.lines()[static_cast<size_t>(line)].midY;
    if (contentHeight > 0 && layout.height() > 0)
        y *= contentHeight / layout.height();
    return ReadingLine::offsetFor(y, lineHeightOf(layout), viewportHeight);
}

bool ReadingFrame::setWidth(double width) {
    if (width == m_width)
        return false;
    m_width = width;
    return true;
}

bool ReadingFrame::layOut() {
    if (!m_prefs)
        return false;
    const ScriptLayout::Key key = keyFor(m_words->text, m_width, *m_prefs);
    if (m_layout && m_layout->key() == key)
        return false;
    m_layout = ScriptLayout::shared(key, *m_words);
    return true;
}

void ReadingFrame::aim(int word) {
    if (!m_layout || !m_scroll)
        return;
    // The line height the layout was built with, which is the one drawn.
    m_scroll->setFollowTarget(ReadingLine::followTarget(
        word, *m_layout, m_layout->key().fontSize, m_layout->key().lineHeightMultiple,
        m_scroll->viewportHeight(), m_scroll->contentHeight()));
    m_drivesScroll = true;
}

void ReadingFrame::release() {
    if (m_drivesScroll && m_scroll)
        m_scroll->setFollowTarget(std::nullopt);
    m_drivesScroll = false;
}

ScriptLayout::Key ReadingFrame::keyFor(const QString &text, double width,
                                       const ReadingPreferences &prefs) {
    return {text, width,
            SettingsStore::clamped(prefs.fontSize(), ReadingPreferences::fontSizeMin,
                                   ReadingPreferences::fontSizeMax),
            SettingsStore::clamped(prefs.lineHeightMultiple(), ReadingPreferences::lineHeightMin,
                                   ReadingPreferences::lineHeightMax),
            prefs.bracketsAreCues()};
}

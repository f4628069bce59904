#include "reading/ScriptViewportModel.h"

#include "playback/ScrollEngine.h"

ScriptViewportModel::ScriptViewportModel(SelectedScript &script, ReadingPreferences &prefs,
                                         ScrollEngine &scroll, QObject *parent)
    : QObject(parent)
    , m_scroll(scroll) {
    m_frame.attach(script, prefs, scroll);
    m_frame.observe(this, &ScriptViewportModel::sync);
}

void ScriptViewportModel::setViewportSize(const QSizeF &size) {
    if (size == m_size)
        return;
    m_size = size;
    m_scroll.setViewportHeight(size.height());
    sync();
}

void ScriptViewportModel::setGlowSource(GlowSource *source) {
    if (source == m_glow)
        return;
    m_glow = source;
    emit glowSourceChanged();
}

void ScriptViewportModel::sync() {
    if (!(m_size.width() > 0))
        return;
    m_frame.setWidth(m_size.width());
    // The words on the reading line now, before an edit replaces the text.
    const auto before = m_frame.layout();
    const int reading =
        before ? ReadingFrame::wordAtReadingLine(*before, m_frame.words(), m_scroll.offset(),
                                                 m_scroll.viewportHeight())
               : 0;
    const bool edited = m_frame.readText() && m_frame.wasEdited() && m_scroll.offset() > 0;
    if (!m_frame.layOut())
        return;
    m_scroll.rescale(m_frame.layout()->height());
    // An edit of the script being read keeps the reader on the same words.
    if (edited) {
        const auto &layout = *m_frame.layout();
        m_scroll.setOffset(ReadingLine::followTarget(
            m_frame.wordAfterEdit(reading), layout, layout.key().fontSize,
            layout.key().lineHeightMultiple, m_scroll.viewportHeight(), m_scroll.contentHeight()));
    }
    emit layoutChanged();
}

std::vector<ScriptMarkup::Heading> ScriptViewportModel::sections() const {
    const ScriptWords &words = m_frame.words();
    return words.markup.headings(words.text);
}

namespace {

// Where each paragraph with words in it starts, in one pass over the text.
std::vector<int> paragraphStarts(const ScriptWords &words) {
    std::vector<int> starts;
    const QString &text = words.text;
    int lineStart = 0, scanned = 0;
    for (const auto &word : words.words) {
        for (; scanned < word.location; ++scanned)
            if (ScriptMarkup::isLineBreak(text[scanned]))
                lineStart = scanned + 1;
        if (starts.empty() || starts.back() != lineStart)
            starts.push_back(lineStart);
    }
    return starts;
}

} // namespace

bool ScriptViewportModel::jumpToSection(int direction) {
    const auto layout = m_frame.layout();
    if (!layout || layout->lines().empty() || direction == 0)
        return false;
    std::vector<int> targets;
    for (const auto &heading : sections())
        targets.push_back(heading.location);
    if (targets.empty())
        targets = paragraphStarts(m_frame.words());
    const auto &lineOf = layout->characterLine();
    const auto line = [&](int location) {
        return location < static_cast<int>(lineOf.size()) ? lineOf[static_cast<size_t>(location)]
                                                            : static_cast<int>(layout->lines().size()) - 1;
    };
    const int here = ReadingFrame::lineAtReadingLine(*layout, m_scroll.offset(), m_scroll.viewportHeight());
    std::optional<int> to;
    if (direction > 0) {
        for (int t : targets)
            if (line(t) > here) {
                to = t;
                break;
            }
    } else {
        for (int t : targets)
            if (line(t) < here)
                to = t;
        // Before the first section: the top.
        if (!to && here > 0)
            to = 0;
    }
    if (!to)
        return false;
    jumpToLocation(*to);
    return true;
}

void ScriptViewportModel::jumpToLocation(int location) {
    const auto layout = m_frame.layout();
    if (!layout || layout->lines().empty())
        return;
    const auto &lineOf = layout->characterLine();
    const int line = lineOf.empty() ? 0
                     : lineOf[static_cast<size_t>(std::clamp(location, 0, static_cast<int>(lineOf.size()) - 1))];
    m_scroll.jumpTo(ReadingFrame::offsetForLine(*layout, line, m_scroll.viewportHeight(),
                                                m_scroll.contentHeight()));
}

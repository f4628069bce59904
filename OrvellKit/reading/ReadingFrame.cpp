#include "reading/ReadingFrame.h"

#include "playback/ScrollEngine.h"
#include "settings/SettingsStore.h"

void ReadingFrame::attach(SelectedScript &script, ReadingPreferences &prefs, ScrollEngine &scroll) {
    m_script = &script;
    m_prefs = &prefs;
    m_scroll = &scroll;
}

std::optional<double> ReadingFrame::targetSeconds() const {
    return m_script ? m_script->targetSeconds() : std::nullopt;
}

bool ReadingFrame::readText() {
    const QString text = m_script ? m_script->text() : QString();
    if (text == m_words.text)
        return false;
    m_words = ScriptWords(text);
    m_layout.reset();
    return true;
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
    const ScriptLayout::Key key = keyFor(m_words.text, m_width, *m_prefs);
    if (m_layout && m_layout->key() == key)
        return false;
    m_layout = ScriptLayout::shared(key, m_words);
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
                                   ReadingPreferences::lineHeightMax)};
}

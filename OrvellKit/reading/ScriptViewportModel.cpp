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

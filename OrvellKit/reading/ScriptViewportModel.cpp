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
    m_frame.readText();
    if (!m_frame.layOut())
        return;
    m_scroll.rescale(m_frame.layout()->height());
    emit layoutChanged();
}

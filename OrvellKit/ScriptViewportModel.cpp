#include "ScriptViewportModel.h"

#include "ReadingPreferences.h"
#include "ScriptStore.h"
#include "ScrollEngine.h"

ScriptViewportModel::ScriptViewportModel(ScriptStore &store, ReadingPreferences &prefs,
                                         ScrollEngine &scroll, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_prefs(prefs)
    , m_scroll(scroll) {
    // Re-run sync() whenever an observed value changes.
    connect(&m_store, &ScriptStore::scriptsChanged, this, &ScriptViewportModel::sync);
    connect(&m_store, &ScriptStore::selectedIDChanged, this, &ScriptViewportModel::sync);
    connect(&m_prefs, &ReadingPreferences::fontSizeChanged, this, &ScriptViewportModel::sync);
    connect(&m_prefs, &ReadingPreferences::lineHeightMultipleChanged, this,
            &ScriptViewportModel::sync);
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
    const ScriptLayout::Key key =
        ScriptLayout::keyFor(m_store.selectedBody(), m_size.width(), m_prefs);
    if (m_layout && m_layout->key() == key)
        return;
    m_layout = ScriptLayout::shared(key, ScriptWords(key.text));
    m_scroll.rescale(m_layout->height());
    emit layoutChanged();
}

#include "reading/LibrarySelection.h"

#include "library/ScriptStore.h"

LibrarySelection::LibrarySelection(ScriptStore &store, QObject *parent)
    : SelectedScript(parent)
    , m_store(store) {
    connect(&store, &ScriptStore::scriptsChanged, this, &SelectedScript::changed);
    connect(&store, &ScriptStore::selectedIDChanged, this, &SelectedScript::changed);
}

QString LibrarySelection::text() const {
    return m_store.selectedBody();
}

std::optional<double> LibrarySelection::targetSeconds() const {
    const Script *script = m_store.selected();
    return script ? script->targetSeconds : std::nullopt;
}

QString LibrarySelection::identity() const {
    const auto id = m_store.selectedID();
    return id ? Script::idText(*id) : QString();
}

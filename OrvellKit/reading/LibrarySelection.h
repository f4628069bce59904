#pragma once

#include "reading/SelectedScript.h"

class ScriptStore;

// The library's selected script; changed whenever the library or the
// selection changes.
class LibrarySelection : public SelectedScript {
    Q_OBJECT

public:
    explicit LibrarySelection(ScriptStore &store, QObject *parent = nullptr);

    QString text() const override;
    std::optional<double> targetSeconds() const override;
    QString identity() const override;

private:
    ScriptStore &m_store;
};

#pragma once

#include "library/ScriptEntry.h"

#include <QByteArray>
#include <QList>
#include <QUuid>

#include <functional>
#include <optional>
#include <vector>

// The content of library.json: the scripts' order, the selection and one
// entry per script.
struct ScriptManifest {
    static constexpr int currentVersion = 1;

    int version = currentVersion;
    QList<QUuid> order;
    std::optional<QUuid> selectedID;
    std::vector<ScriptEntry> entries; // in no particular order
    // Top-level fields this version does not know, kept when written again.
    QJsonObject extra;

    ScriptManifest() = default;
    // Selects the given id, or the first script when none is given. Word
    // counts come from `wordCount` when given (a holder that keeps them),
    // else from the bodies.
    ScriptManifest(const std::vector<Script> &scripts, std::optional<QUuid> selectedID,
                   const std::function<int(const Script &)> &wordCount = {});

    // The entries in the order of `order`; ids without an entry are skipped.
    std::vector<ScriptEntry> ordered() const;
    bool isEmpty() const { return entries.empty(); }

    // Every id in order names an entry once, every entry is in order (the
    // missing ones appended oldest first), and a selection exists when any
    // entry does.
    void normalize();
    // Replaces an entry with the same id and puts the id at `index`, clamped.
    void insert(const ScriptEntry &entry, qsizetype index);
    void append(const ScriptEntry &entry) { insert(entry, order.size()); }
    void reorder(const QList<QUuid> &ids);

    // Pretty-printed, keys sorted, ids upper case, dates ISO 8601 with milliseconds.
    QByteArray toJson() const;
    // Nothing, with the reason in *error, when any required member is
    // missing or malformed: the whole file is then unreadable.
    static std::optional<ScriptManifest> fromJson(const QByteArray &json, QString *error);

    bool operator==(const ScriptManifest &) const = default;
};

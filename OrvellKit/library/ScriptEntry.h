#pragma once

#include "library/Script.h"

#include <QJsonObject>

// The index record of one script: a Script without its body, with the word
// count it had when the entry was made.
struct ScriptEntry {
    QUuid id;
    QString title;
    double createdAt = 0;
    double updatedAt = 0;
    int wordCount = 0;
    bool isFavorite = false;
    std::optional<double> targetSeconds;
    // Fields this version does not know (written by a newer one), kept as
    // they were when the entry is written again.
    QJsonObject extra;

    static ScriptEntry from(const Script &script) { return from(script, script.wordCount()); }
    static ScriptEntry from(const Script &script, int wordCount) {
        return {script.id, script.title,      script.createdAt,     script.updatedAt,
                wordCount, script.isFavorite, script.targetSeconds, {}};
    }

    Script script(const QString &body) const {
        return {id, title, body, createdAt, updatedAt, isFavorite, targetSeconds};
    }

    bool operator==(const ScriptEntry &) const = default;
};

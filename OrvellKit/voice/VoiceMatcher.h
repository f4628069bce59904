#pragma once

#include "text/ScriptWords.h"

#include <QString>
#include <QStringList>

#include <vector>

// How far into the script the speaker has read: aligns the last few heard
// words with the script near a cursor, tolerating near-miss word forms and
// one skipped or extra word at a time, never moving back and refusing long
// jumps that rest on short common words.
struct VoiceMatcher {
    static constexpr int tailLength = 4;
    static constexpr int lookBehind = 3;
    static constexpr int lookAhead = 15;
    static constexpr double similarityThreshold = 0.75;
    static constexpr int weakWordLength = 3;

    struct Alignment {
        int end = 0;
        int score = 1;
        int strong = 0;
        bool isBetter(const Alignment &other, int cursor) const;
    };

    VoiceMatcher() = default;
    explicit VoiceMatcher(const ScriptWords &words);

    QStringList keys;
    int cursor = 0;

    // True when the cursor moved.
    bool ingest(const QStringList &heard);

    static bool similar(const QString &a, const QString &b);
    static bool isStrong(const QString &word);
    // Over user-perceived characters.
    static int editDistance(const QStringList &a, const QStringList &b);
    static QStringList characters(const QString &word);

private:
    Alignment align(const QStringList &tail, int end) const;
};

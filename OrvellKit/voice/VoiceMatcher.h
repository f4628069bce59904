#pragma once

#include "text/ScriptWords.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// How far into the script the speaker has read: aligns the last few heard
// words with the script near a cursor, tolerating near-miss word forms and
// one skipped or extra word at a time, never moving back and refusing long
// jumps that rest on short common words.
//
// A script that leaps ahead and back is worse to read from than one that
// waits, so a move of more than a few words must rest on words the current
// place does not already explain, and must not fit as well somewhere else
// nearby (a repeated phrase, the sentence being read again). A reader who
// skips beyond the window is found again by a run of heard words that
// occurs once in the whole script.
struct VoiceMatcher {
    static constexpr int tailLength = 4;
    static constexpr int lookBehind = 3;
    static constexpr int lookAhead = 15;
    static constexpr double similarityThreshold = 0.75;
    static constexpr int weakWordLength = 3;
    // Moves up to this far are steps of an ordinary reading; beyond
    // `longMove` two strong heard words must line up.
    static constexpr int shortMove = 3;
    static constexpr int longMove = 8;
    // How far back a phrase is looked for when deciding whether a long move
    // is ambiguous: the reader may be saying a sentence again.
    static constexpr int ambiguityBehind = 40;
    // Words of a run that finds a reader outside the window; two of them
    // must be distinctive.
    static constexpr int distinctiveRun = 4;
    // Heard words that line up this well behind the window are the reader
    // going over words already read.
    static constexpr int retakeScore = 3;

    struct Alignment {
        int end = 0;
        int score = 1;
        int strong = 0;
        // Which of the tail's words lined up, bit i for tail[i].
        unsigned matched = 0;
        // The script word the first of them lined up with.
        int begin = 0;
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
    // Strong and not a word every script has ("there", "would", "about").
    static bool isDistinctive(const QString &word);
    // Over user-perceived characters.
    static int editDistance(const QStringList &a, const QStringList &b);
    static QStringList characters(const QString &word);

private:
    Alignment align(const QStringList &tail, int end) const;
    // How many of the tail's last words are new to a reader still at the
    // cursor: the words before them align with the script just before it.
    // Nothing when the tail does not fit the cursor that way.
    std::optional<int> newWordsAtCursor(const QStringList &tail) const;
    // Whether a strong word that lined up at `a` is not in the script where
    // the cursor is: only such a word says the reader is elsewhere.
    bool restsOnNewWords(const QStringList &tail, const Alignment &a) const;
    // Whether the tail fits another place nearly as well as `best`.
    bool fitsElsewhere(const QStringList &tail, const Alignment &best) const;
    // How well the tail fits the script behind the window, best first.
    std::optional<Alignment> behindCursor(const QStringList &tail) const;
    // Where a run of heard words unique in the script puts the reader.
    std::optional<int> distinctivePlace(const QStringList &heard) const;

    // Each run of `distinctiveRun` keys, to where it starts, or -1 when the
    // script has it more than once.
    QHash<QString, int> m_runs;
};

#pragma once

#include "base/ScriptMarkup.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <vector>

// The words of a script with their places in the text (UTF-16 code units,
// as layout, rendering and speech markers count) and keys for matching that
// ignore case, accents, width and punctuation. Only the words said aloud:
// cues and headings (see ScriptMarkup) are in `markup`, not in `words`.
struct ScriptWords {
    struct Word {
        int location = 0;
        int length = 0;
        QString key; // never empty

        int end() const { return location + length; }
        bool operator==(const Word &) const = default;
    };

    ScriptWords() = default;
    // `cues` false: bracketed text is said like any other.
    explicit ScriptWords(const QString &text, bool withCues = true);

    QString text;
    bool cues = true;
    ScriptMarkup markup;
    std::vector<Word> words;

    int count() const { return static_cast<int>(words.size()); }
    // The text as it is said: cues and headings blanked, every word in place.
    QString spokenText() const { return markup.spans.empty() ? text : markup.spoken(text); }

    // The match key: folded (case, diacritics, width), then letters, marks
    // and numbers only. Empty for a piece of text without any.
    static QString normalize(QStringView s);
    // The keys of a text's words, so that heard words and script words are
    // normalised identically.
    static QStringList keys(const QString &text);

    bool operator==(const ScriptWords &) const = default;
};

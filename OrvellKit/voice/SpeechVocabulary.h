#pragma once

#include "text/ScriptWords.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <vector>

// What the recogniser listens for while a script is read: every word it may
// hear with its pronunciations, and a trigram model of the script in which
// everyday words keep a small share, so the decoder expects the script's
// next words without forcing an ad-lib into script words.
//
// The recogniser's words are the script's match keys, so whatever it hears
// turns back into keys unchanged; a number is one word pronounced as it is
// said ("1962" sounds like nineteen sixty two and comes back as "1962").
class SpeechVocabulary {
public:
    // Share of the everyday words in the single-word probabilities.
    static constexpr double commonWeight = 0.1;

    // Pronunciations by word in the installed dictionary's phones
    // ("D OW N T"), variants in the dictionary's order.
    using Pronunciations = QHash<QString, QStringList>;
    // Reads the pronunciations of the wanted words from a dictionary in the
    // CMU format ("word PH ONES", variants as "word(2) PH ONES").
    static Pronunciations lookUp(const QString &dictionaryPath, const QSet<QString> &wanted);

    // Phones of the CMU set for an IPA transcription (espeak-ng's).
    static QStringList phonesFromIpa(const QString &ipa);

    // Builds the vocabulary of a script. Words missing from the dictionary
    // are pronounced by espeak-ng.
    static SpeechVocabulary build(const ScriptWords &words, const QString &dictionaryPath);

    // The pocketsphinx dictionary text.
    QString dictionaryText() const;
    // The Witten-Bell trigram model of the script as ARPA text.
    QString arpaText() const;

    // The pronunciations of each recogniser word.
    Pronunciations pronunciations;
    // The script as sentences of recogniser words, with the words it could
    // not pronounce left out.
    std::vector<QStringList> sentences;
    QStringList common;
    // Script words pronounced by espeak-ng and words left unpronounced.
    QStringList voiced;
    QStringList unpronounceable;
};

// A Witten-Bell interpolated trigram model in ARPA form. `extra` words join
// the single-word probabilities with the given share, spread evenly.
QString wittenBellArpa(const std::vector<QStringList> &sentences, const QStringList &extra,
                       double extraWeight);

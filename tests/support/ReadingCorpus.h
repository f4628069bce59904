#pragma once

#include "reading/FollowReplay.h"
#include "text/ScriptWords.h"

#include <QString>

#include <vector>

// Scripts read aloud by speech synthesizers the way people read them:
// straight, slow, fast, over noise, with ad-libs, retakes and a skipped
// paragraph. The synthesizer's own word timing is the truth a follow is
// scored against. Shared by the voice tests and the follow benchmark.
namespace ReadingCorpus {

enum class Engine { espeak, flite };

struct Voice {
    Engine engine = Engine::espeak;
    QString name;       // espeak-ng voice ("en-us+f2") or flite voice ("slt", "rms")
    double speed = 1.0; // above 1 reads faster
};

// A stretch of the reading: script sentences [from, to), words of a
// sentence cut short, something not in the script, or silence.
struct Passage {
    enum class Kind { sentences, partOfSentence, adLib, pause } kind = Kind::sentences;
    int from = 0;
    int to = 0;         // sentences: one past the last; partOfSentence: words said
    QString text;       // adLib
    double seconds = 0; // pause

    static Passage read(int from, int to) { return {Kind::sentences, from, to, {}, 0}; }
    static Passage cut(int sentence, int words) {
        return {Kind::partOfSentence, sentence, words, {}, 0};
    }
    static Passage adLibbed(const QString &text) { return {Kind::adLib, 0, 0, text, 0}; }
    static Passage silence(double seconds) { return {Kind::pause, 0, 0, {}, seconds}; }
};

struct Case {
    QString script; // file name under voice/corpus without ".txt"
    QString name;
    Voice voice;
    std::vector<Passage> passages;
    double noiseSnrDb = 0; // 0: no noise
};

// A word the reader said, with the script word it is (-1 for an ad-lib).
struct SaidWord {
    int script = -1;
    double start = 0;
    double end = 0;
};

struct Reading {
    std::vector<float> audio; // 16 kHz mono
    std::vector<SaidWord> words;
    QString error;

    double seconds() const;
    // Script words said through by `t` at the reader's current place (it
    // goes back on a retake) and at the furthest place they have been.
    int place(double t) const;
    int furthest(double t) const;
    // The furthest script word the reader has started by `t`, plus one.
    int started(double t) const;
};

QString scriptText(const QString &name);
Reading synthesize(const Case &c);

// Every case of the corpus: each script by several voices and readers.
std::vector<Case> all();

struct Score {
    double reached = 0;   // share of the words read that the cursor passed
    double within3 = 0;   // share of the reading time within 3 words
    double lagMedian = 0; // seconds from a word's end to the cursor passing it
    double lagP90 = 0;
    int jumpsAhead = 0;      // moves to more than 5 words past the furthest word started
    int mostAhead = 0;       // words
    double longestStuck = 0; // seconds with the reader more than 3 words past the cursor
    // For a reading that skips ahead: seconds from the first word after the
    // skip starting to the cursor reaching it; -1 without a skip, infinity
    // when it never does.
    double foundAfterSkip = -1;
    // After a retake (the reader going back and saying words again): the
    // longest time from their first word past where they had been to the
    // cursor being within 3 words of them; 0 without a retake.
    double stuckAfterRetake = 0;
};

Score score(const Reading &reading, const FollowReplay::Outcome &outcome);

} // namespace ReadingCorpus

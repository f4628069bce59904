#pragma once

#include <QString>
#include <QStringView>

#include <vector>

// What a speaker writes into a script for themselves rather than to say:
// cues in square brackets ("[pause]", "[slide 5]", a whole line or part of
// one) and section headings (a line starting with one to three "#" and a
// space). Neither is spoken, timed or counted. A backslash makes a bracket
// literal ("\[1]"); a bracket right after a letter or digit ("a[0]") opens
// nothing; an unclosed one is plain text. Cues end at the line's end.
struct ScriptMarkup {
    struct Span {
        enum class Kind { cue, heading, escape };
        Kind kind = Kind::cue;
        int location = 0; // UTF-16, the brackets, the heading's whole line or the backslash
        int length = 0;
        // Headings: the level (number of "#") and where the title starts
        // (after the marker and its spaces); the title runs to the span's end.
        int level = 0;
        int titleLocation = 0;

        int end() const { return location + length; }
        bool operator==(const Span &) const = default;
    };

    struct Heading {
        int location = 0; // the line's start
        int level = 1;
        QString title; // trimmed; may be empty
        bool operator==(const Heading &) const = default;
    };

    // In text order, none overlapping.
    std::vector<Span> spans;

    // A character that ends a line (and so a cue).
    static bool isLineBreak(QChar c);

    // `cues` false: brackets are plain text (headings still count).
    static ScriptMarkup parse(QStringView text, bool cues = true);

    // Whether the character at `location` is in a cue or a heading line.
    bool isSilent(int location) const;
    std::vector<Heading> headings(QStringView text) const;
    // The text with every cue and heading blanked to spaces, lengths kept.
    QString spoken(QStringView text) const;

    bool operator==(const ScriptMarkup &) const = default;
};

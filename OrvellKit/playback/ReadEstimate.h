#pragma once

#include <QString>
#include <QStringView>

// How long a script takes at a speed, and the speaking rate that implies.
struct ReadEstimate {
    int wordCount = 0;
    double distance = 0;        // points
    double pointsPerSecond = 0; // the speed

    static ReadEstimate forDuration(int wordCount, double seconds) {
        return {wordCount, seconds, 1};
    }

    double seconds() const;
    double wordsPerMinute() const;
    QString formatted() const;
    // The rounded rate the readouts show next to the reading time.
    qint64 roundedWordsPerMinute() const;
    // "2:00 at 150 wpm", as the library list shows it.
    QString libraryLine() const;
    // "2:00  ·  150 wpm", as the session readouts show it.
    QString sessionLine() const;

    static double t(double targetWPM, int wordCount, double distance);
    // The words said aloud: cues and headings left out (`cues` false: brackets count).
    static int wordCountOf(QStringView text, bool cues = true);

    bool operator==(const ReadEstimate &) const = default;
};

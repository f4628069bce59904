#include "playback/ReadEstimate.h"

#include "base/DurationFormat.h"
#include "playback/SpeedCurve.h"

#include <cmath>

double ReadEstimate::seconds() const {
    return pointsPerSecond > 0 ? distance / pointsPerSecond : 0;
}

double ReadEstimate::wordsPerMinute() const {
    if (!(pointsPerSecond > 0))
        return 0;
    const double minutes = distance / pointsPerSecond / 60;
    return minutes > 0 ? wordCount / minutes : 0;
}

QString ReadEstimate::formatted() const {
    return DurationFormat::minutesSeconds(seconds());
}

qint64 ReadEstimate::roundedWordsPerMinute() const {
    const double s = seconds();
    if (!(s > 0))
        return 0;
    return DurationFormat::roundedSeconds(wordCount / (s / 60));
}

QString ReadEstimate::libraryLine() const {
    return formatted() + QStringLiteral(" at ") + QString::number(roundedWordsPerMinute()) +
           QStringLiteral(" wpm");
}

QString ReadEstimate::sessionLine() const {
    return formatted() + QStringLiteral("  \u00B7  ") + QString::number(roundedWordsPerMinute()) +
           QStringLiteral(" wpm");
}

double ReadEstimate::t(double targetWPM, int wordCount, double distance) {
    if (wordCount <= 0 || !(targetWPM > 0) || !(distance > 0))
        return SpeedCurve::defaultT;
    const double pps = distance * targetWPM / (wordCount * 60.0);
    return SpeedCurve::clamp((pps - SpeedCurve::base) / SpeedCurve::span);
}

int ReadEstimate::wordCountOf(QStringView text) {
    int count = 0;
    bool inWord = false;
    // Surrogate halves are never white space, so a UTF-16 walk is exact here.
    for (QChar c : text) {
        const bool space = c.isSpace();
        if (!space && !inWord)
            ++count;
        inWord = !space;
    }
    return count;
}

#include "playback/ReadEstimate.h"

#include "base/ScriptMarkup.h"

#include "base/DurationFormat.h"
#include "playback/SpeedCurve.h"

#include <unicode/ubrk.h>

#include <algorithm>

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

namespace {

// Scripts written without spaces between words: Chinese, Japanese, Thai,
// Lao, Khmer, Myanmar. A run of them is one "word" between spaces but
// many words to say.
bool unspaced(char32_t c) {
    return (c >= 0x0E00 && c <= 0x0EFF) ||   // Thai, Lao
           (c >= 0x1000 && c <= 0x109F) ||   // Myanmar
           (c >= 0x1780 && c <= 0x17FF) ||   // Khmer
           (c >= 0x3040 && c <= 0x30FF) ||   // Hiragana, Katakana
           (c >= 0x31F0 && c <= 0x31FF) ||   // Katakana extensions
           (c >= 0x3400 && c <= 0x4DBF) ||   // Han extension A
           (c >= 0x4E00 && c <= 0x9FFF) ||   // Han
           (c >= 0xF900 && c <= 0xFAFF) ||   // Han compatibility
           (c >= 0xFF66 && c <= 0xFF9F) ||   // half-width Katakana
           (c >= 0x20000 && c <= 0x3134F);   // Han extensions B–G
}

// The words ICU's dictionaries find in a run of such text.
int dictionaryWords(QStringView run) {
    UErrorCode status = U_ZERO_ERROR;
    UBreakIterator *it = ubrk_open(UBRK_WORD, "", reinterpret_cast<const UChar *>(run.utf16()),
                                   static_cast<int32_t>(run.size()), &status);
    if (U_FAILURE(status))
        return 1;
    int count = 0;
    for (int32_t end = ubrk_next(it); end != UBRK_DONE; end = ubrk_next(it))
        if (ubrk_getRuleStatus(it) >= UBRK_WORD_NONE_LIMIT)
            ++count;
    ubrk_close(it);
    return std::max(count, 1);
}

} // namespace

int ReadEstimate::wordCountOf(QStringView source, bool cues) {
    // Cues and headings are not read aloud: they take no time.
    const ScriptMarkup markup = ScriptMarkup::parse(source, cues);
    const QString blanked = markup.spans.empty() ? QString() : markup.spoken(source);
    const QStringView text = markup.spans.empty() ? source : QStringView(blanked);
    int count = 0;
    qsizetype start = -1;
    bool needsDictionary = false;
    const auto endRun = [&](qsizetype end) {
        if (start >= 0)
            count += needsDictionary ? dictionaryWords(text.mid(start, end - start)) : 1;
        start = -1;
        needsDictionary = false;
    };
    // Runs between white space are words, except in the scripts above.
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isSpace()) {
            endRun(i);
            continue;
        }
        if (start < 0)
            start = i;
        if (!needsDictionary) {
            char32_t code = c.unicode();
            if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
                code = QChar::surrogateToUcs4(c, text[i + 1]);
            needsDictionary = unspaced(code);
        }
    }
    endRun(text.size());
    return count;
}

#include "ScriptWords.h"

#include <QChar>

#include <unicode/ubrk.h>
#include <unicode/ustring.h>

#include <memory>

namespace {

struct BreakIteratorCloser {
    void operator()(UBreakIterator *it) const { ubrk_close(it); }
};
using BreakIterator = std::unique_ptr<UBreakIterator, BreakIteratorCloser>;

bool isAsciiAlnum(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
}

bool isKeyCategory(QChar::Category c) {
    switch (c) {
    case QChar::Letter_Uppercase:
    case QChar::Letter_Lowercase:
    case QChar::Letter_Titlecase:
    case QChar::Letter_Modifier:
    case QChar::Letter_Other:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
    case QChar::Number_DecimalDigit:
    case QChar::Number_Letter:
    case QChar::Number_Other:
        return true;
    default:
        return false;
    }
}

// Full case folding, so that "Straße" and "STRASSE" meet.
QString fullCaseFold(const QString &s) {
    QString out(s.size() * 3 + 1, Qt::Uninitialized);
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n =
        u_strFoldCase(reinterpret_cast<UChar *>(out.data()), static_cast<int32_t>(out.size()),
                      reinterpret_cast<const UChar *>(s.utf16()), static_cast<int32_t>(s.size()),
                      U_FOLD_CASE_DEFAULT, &status);
    if (U_FAILURE(status))
        return s.toCaseFolded();
    out.truncate(n);
    return out;
}

} // namespace

QString ScriptWords::normalize(QStringView s) {
    // Most script words are plain ASCII: fold them without a normalisation pass.
    bool ascii = true;
    for (QChar c : s) {
        if (c.unicode() >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii) {
        QString key;
        key.reserve(s.size());
        for (QChar c : s) {
            const char16_t u = c.unicode();
            if (isAsciiAlnum(u))
                key.append(QChar(u >= u'A' && u <= u'Z' ? u + 32 : u));
        }
        return key;
    }

    // Compatibility decomposition folds width (and ligatures); decomposing
    // again after case folding catches what folding composed; dropping the
    // non-spacing marks then removes the diacritics.
    const QString folded = fullCaseFold(s.toString().normalized(QString::NormalizationForm_KD))
                               .normalized(QString::NormalizationForm_KD);
    QString key;
    key.reserve(folded.size());
    for (qsizetype i = 0; i < folded.size(); ++i) {
        char32_t ucs = folded.at(i).unicode();
        const bool pair = QChar::isHighSurrogate(ucs) && i + 1 < folded.size() &&
                          folded.at(i + 1).isLowSurrogate();
        if (pair)
            ucs = QChar::surrogateToUcs4(folded.at(i).unicode(), folded.at(i + 1).unicode());
        if (isKeyCategory(QChar::category(ucs))) {
            key.append(folded.at(i));
            if (pair)
                key.append(folded.at(i + 1));
        }
        if (pair)
            ++i;
    }
    // Recompose what decomposition split without being a diacritic (Hangul syllables).
    return key.normalized(QString::NormalizationForm_C);
}

ScriptWords::ScriptWords(const QString &source)
    : text(source) {
    if (text.isEmpty())
        return;
    UErrorCode status = U_ZERO_ERROR;
    BreakIterator it(ubrk_open(UBRK_WORD, "", reinterpret_cast<const UChar *>(text.utf16()),
                               static_cast<int32_t>(text.size()), &status));
    if (U_FAILURE(status))
        return;

    int32_t start = ubrk_first(it.get());
    for (int32_t end = ubrk_next(it.get()); end != UBRK_DONE;
         start = end, end = ubrk_next(it.get())) {
        // Spaces and punctuation come back as segments with no word status.
        if (ubrk_getRuleStatus(it.get()) < UBRK_WORD_NONE_LIMIT)
            continue;
        QString key = normalize(QStringView(text).mid(start, end - start));
        if (key.isEmpty())
            continue;
        words.push_back({start, end - start, std::move(key)});
    }
}

QStringList ScriptWords::keys(const QString &text) {
    QStringList keys;
    const ScriptWords w(text);
    keys.reserve(w.count());
    for (const Word &word : w.words)
        keys.append(word.key);
    return keys;
}

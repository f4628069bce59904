#include "base/TextFold.h"

#include <unicode/uchar.h>
#include <unicode/ustring.h>

namespace {

bool isAscii(QStringView s) {
    for (QChar c : s) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
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

// Compatibility decomposition folds width (and ligatures); decomposing again
// after case folding catches what folding composed; dropping the non-spacing
// marks then removes the diacritics; recomposing restores what decomposition
// split without being a diacritic (Hangul syllables).
template <typename Keep> QString foldKeeping(QStringView s, Keep keep) {
    const QString folded = fullCaseFold(s.toString().normalized(QString::NormalizationForm_KD))
                               .normalized(QString::NormalizationForm_KD);
    QString out;
    out.reserve(folded.size());
    for (qsizetype i = 0; i < folded.size(); ++i) {
        char32_t ucs = folded.at(i).unicode();
        const bool pair = QChar::isHighSurrogate(ucs) && i + 1 < folded.size() &&
                          folded.at(i + 1).isLowSurrogate();
        if (pair)
            ucs = QChar::surrogateToUcs4(folded.at(i).unicode(), folded.at(i + 1).unicode());
        const QChar::Category category = QChar::category(ucs);
        if (category != QChar::Mark_NonSpacing && keep(category)) {
            out.append(folded.at(i));
            if (pair)
                out.append(folded.at(i + 1));
        }
        if (pair)
            ++i;
    }
    return out.normalized(QString::NormalizationForm_C);
}

} // namespace

namespace TextFold {

QString fold(QStringView s) {
    if (isAscii(s))
        return s.toString().toLower();
    return foldKeeping(s, [](QChar::Category) { return true; });
}

QString matchKey(QStringView s) {
    // Most script words are plain ASCII: fold them without a normalisation pass.
    if (isAscii(s)) {
        QString key;
        key.reserve(s.size());
        for (QChar c : s) {
            const char16_t u = c.unicode();
            if (u >= u'A' && u <= u'Z')
                key.append(QChar(u + 32));
            else if ((u >= u'a' && u <= u'z') || (u >= u'0' && u <= u'9'))
                key.append(c);
        }
        return key;
    }
    return foldKeeping(s, isKeyCategory);
}

} // namespace TextFold

#pragma once

#include <QString>
#include <QStringView>

// Locale-independent folding of case, diacritics and character width, so
// that "Café", "CAFE" and full-width "ＣＡＦＥ" compare equal.
namespace TextFold {
// Folded, with every other character kept: for searching.
QString fold(QStringView s);
// Folded, then only letters, marks and numbers: the key words are matched by.
QString matchKey(QStringView s);
} // namespace TextFold

#pragma once

#include <QString>
#include <QStringList>

// How an English speaker says the numbers and symbols written in a script,
// so the recogniser's vocabulary holds the words people actually say:
// "1962" → nineteen sixty two, "31,000" → thirty one thousand.
namespace SpokenNumbers {
// The words for a written token (a number with optional commas, decimals,
// an ordinal suffix, a currency sign or a percent sign); empty when the
// token is not one of these.
QStringList words(const QString &token);
// 0 … 999,999,999,999 in words: "three hundred twenty one".
QStringList cardinal(qint64 n);
} // namespace SpokenNumbers

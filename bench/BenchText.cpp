#include "BenchText.h"

#include <QStringList>

QString benchScript(int words)
{
    static const QStringList vocabulary = {
        "the",     "launch", "morning", "we",       "have",   "three",  "things",
        "to",      "cover",  "first",   "customer", "results", "quarter", "growth",
        "thank",   "you",    "for",     "joining",  "today",  "and",    "questions",
        "product", "team",   "café",    "naïve",    "2026",   "really", "important"};
    QString text;
    text.reserve(words * 8);
    unsigned state = 12345;
    for (int i = 0; i < words; ++i) {
        state = state * 1103515245u + 12345u;
        QString w = vocabulary.at((state >> 16) % vocabulary.size());
        if (i % 12 == 0)
            w[0] = w[0].toUpper();
        text += w;
        if (i % 12 == 11)
            text += (i % 96 == 95) ? QStringLiteral(".\n") : QStringLiteral(". ");
        else if (i % 5 == 4)
            text += QStringLiteral(", ");
        else
            text += QLatin1Char(' ');
    }
    return text;
}

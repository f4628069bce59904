#include "BenchText.h"

#include <QStringList>

#include <cmath>

namespace {

// A deterministic generator, so every run measures the same text.
struct Lcg {
    unsigned state = 12345;
    unsigned next() {
        state = state * 1103515245u + 12345u;
        return state >> 8;
    }
};

// Pseudo-words of one to four syllables, a few accented or numeric, so the
// vocabulary is as large as a real script's.
QStringList vocabulary(Lcg &rng) {
    static const char *syllables[] = {"ta",  "re",  "mon", "li", "ka", "ver", "sto", "an",
                                      "qui", "del", "for", "ma", "ne", "pri", "sul", "ho"};
    QStringList words;
    for (int i = 0; i < 3000; ++i) {
        QString w;
        const int count = 1 + static_cast<int>(rng.next() % 4);
        for (int s = 0; s < count; ++s)
            w += QLatin1StringView(syllables[rng.next() % 16]);
        if (i % 97 == 0)
            w += QStringLiteral("\u00e9");
        if (i % 211 == 0)
            w = QString::number(1900 + i % 120);
        words << w;
    }
    return words;
}

} // namespace

QString benchScript(int words) {
    Lcg rng;
    const QStringList vocab = vocabulary(rng);
    QString text;
    text.reserve(words * 8);
    for (int i = 0; i < words; ++i) {
        // Roughly Zipf-distributed choice: common words recur, rare ones appear once.
        const double u = (rng.next() % 100000 + 1) / 100000.0;
        const int rank = std::min(static_cast<int>(vocab.size()) - 1,
                                  static_cast<int>(std::pow(vocab.size(), u)) - 1);
        QString w = vocab.at(rank);
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

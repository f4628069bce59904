#include "voice/SpokenNumbers.h"

#include <QRegularExpression>

namespace SpokenNumbers {

namespace {

const char *const ones[] = {"zero",    "one",     "two",       "three",    "four",
                            "five",    "six",     "seven",     "eight",    "nine",
                            "ten",     "eleven",  "twelve",    "thirteen", "fourteen",
                            "fifteen", "sixteen", "seventeen", "eighteen", "nineteen"};
const char *const tens[] = {"",      "",      "twenty",  "thirty", "forty",
                            "fifty", "sixty", "seventy", "eighty", "ninety"};

void underHundred(int n, QStringList &out) {
    if (n < 20) {
        out << QLatin1StringView(ones[n]);
        return;
    }
    out << QLatin1StringView(tens[n / 10]);
    if (n % 10)
        out << QLatin1StringView(ones[n % 10]);
}

void underThousand(int n, QStringList &out) {
    if (n >= 100) {
        out << QLatin1StringView(ones[n / 100]) << QStringLiteral("hundred");
        n %= 100;
        if (n == 0)
            return;
    }
    underHundred(n, out);
}

// "twenty one" → "twenty first"; "twelve" → "twelfth".
QString ordinalOf(const QString &word) {
    static const QHash<QString, QString> irregular = {
        {"one", "first"},    {"two", "second"}, {"three", "third"},   {"five", "fifth"},
        {"eight", "eighth"}, {"nine", "ninth"}, {"twelve", "twelfth"}};
    if (const auto it = irregular.constFind(word); it != irregular.cend())
        return *it;
    if (word.endsWith(QLatin1Char('y')))
        return word.chopped(1) + QStringLiteral("ieth");
    return word + QStringLiteral("th");
}

} // namespace

QStringList cardinal(qint64 n) {
    QStringList out;
    if (n < 0 || n > 999'999'999'999LL)
        return out;
    if (n == 0)
        return {QStringLiteral("zero")};
    const struct {
        qint64 size;
        const char *name;
    } scales[] = {{1'000'000'000LL, "billion"}, {1'000'000LL, "million"}, {1000, "thousand"}};
    for (const auto &scale : scales) {
        if (n >= scale.size) {
            underThousand(static_cast<int>(n / scale.size), out);
            out << QLatin1StringView(scale.name);
            n %= scale.size;
        }
    }
    if (n > 0)
        underThousand(static_cast<int>(n), out);
    return out;
}

QStringList words(const QString &token) {
    static const QRegularExpression pattern(
        QStringLiteral(R"(^([$€£]?)(\d{1,3}(?:,\d{3})+|\d+)(?:\.(\d+))?(st|nd|rd|th)?(%?)$)"));
    const QRegularExpressionMatch m = pattern.match(token);
    if (!m.hasMatch())
        return {};
    const QString currency = m.captured(1);
    QString digits = m.captured(2);
    const bool grouped = digits.contains(QLatin1Char(','));
    digits.remove(QLatin1Char(','));
    if (digits.size() > 12)
        return {};
    const qint64 value = digits.toLongLong();
    const QString fraction = m.captured(3);
    const QString ordinal = m.captured(4);
    QStringList out;

    // Years are said in pairs: 1962 → nineteen sixty two, 2026 → twenty twenty six.
    const bool year = !grouped && currency.isEmpty() && fraction.isEmpty() && ordinal.isEmpty() &&
                      m.captured(5).isEmpty() && digits.size() == 4 &&
                      ((value >= 1100 && value <= 1999) || (value >= 2010 && value <= 2099));
    if (year) {
        underHundred(static_cast<int>(value / 100), out);
        const int rest = static_cast<int>(value % 100);
        if (rest == 0)
            out << QStringLiteral("hundred");
        else if (rest < 10)
            out << QStringLiteral("oh") << QLatin1StringView(ones[rest]);
        else
            underHundred(rest, out);
        return out;
    }

    out = cardinal(value);
    if (!fraction.isEmpty()) {
        out << QStringLiteral("point");
        for (QChar d : fraction)
            out << QLatin1StringView(ones[d.digitValue()]);
    }
    if (!ordinal.isEmpty() && fraction.isEmpty())
        out.last() = ordinalOf(out.last());
    if (!m.captured(5).isEmpty())
        out << QStringLiteral("percent");
    if (currency == u"$")
        out << (value == 1 && fraction.isEmpty() ? QStringLiteral("dollar")
                                                 : QStringLiteral("dollars"));
    else if (currency == u"€")
        out << (value == 1 && fraction.isEmpty() ? QStringLiteral("euro")
                                                 : QStringLiteral("euros"));
    else if (currency == u"£")
        out << (value == 1 && fraction.isEmpty() ? QStringLiteral("pound")
                                                 : QStringLiteral("pounds"));
    return out;
}

} // namespace SpokenNumbers

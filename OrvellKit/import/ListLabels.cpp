#include "import/ListLabels.h"

namespace ListLabels {

namespace {

QString letters(int n, bool upper) {
    // 1 → a … 26 → z, 27 → aa, as word processors count.
    QString out;
    const int repeat = (n - 1) / 26 + 1;
    const QChar letter(static_cast<char16_t>((upper ? u'A' : u'a') + (n - 1) % 26));
    for (int i = 0; i < repeat; ++i)
        out += letter;
    return out;
}

QString roman(int n, bool upper) {
    static const std::pair<int, const char *> table[] = {
        {1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"}, {100, "c"}, {90, "xc"}, {50, "l"},
        {40, "xl"},  {10, "x"},   {9, "ix"},  {5, "v"},    {4, "iv"},  {1, "i"}};
    QString out;
    for (const auto &[value, digits] : table)
        while (n >= value) {
            out += QLatin1StringView(digits);
            n -= value;
        }
    return upper ? out.toUpper() : out;
}

} // namespace

QString number(int n, Format format) {
    if (n < 1 && format != Format::decimal)
        n = 1;
    switch (format) {
    case Format::decimal:
        return QString::number(n);
    case Format::lowerLetter:
        return letters(n, false);
    case Format::upperLetter:
        return letters(n, true);
    case Format::lowerRoman:
        return roman(std::min(n, 3999), false);
    case Format::upperRoman:
        return roman(std::min(n, 3999), true);
    case Format::bullet:
    case Format::none:
        break;
    }
    return QString();
}

Format fromWordName(QStringView name) {
    if (name == u"bullet")
        return Format::bullet;
    if (name == u"lowerLetter")
        return Format::lowerLetter;
    if (name == u"upperLetter")
        return Format::upperLetter;
    if (name == u"lowerRoman")
        return Format::lowerRoman;
    if (name == u"upperRoman")
        return Format::upperRoman;
    if (name == u"none")
        return Format::none;
    return Format::decimal;
}

Format fromWordCode(int code) {
    switch (code) {
    case 1:
        return Format::upperRoman;
    case 2:
        return Format::lowerRoman;
    case 3:
        return Format::upperLetter;
    case 4:
        return Format::lowerLetter;
    case 23:
        return Format::bullet;
    case 255:
        return Format::none;
    default:
        return Format::decimal;
    }
}

Format fromOpenDocument(QStringView format) {
    if (format == u"a")
        return Format::lowerLetter;
    if (format == u"A")
        return Format::upperLetter;
    if (format == u"i")
        return Format::lowerRoman;
    if (format == u"I")
        return Format::upperRoman;
    if (format.isEmpty())
        return Format::none;
    return Format::decimal;
}

int Counter::next(int level, int start) {
    level = clamp(level);
    int &value = m_values[static_cast<size_t>(level)];
    value = value == 0 ? start : value + 1;
    for (int deeper = level + 1; deeper < levels; ++deeper)
        m_values[static_cast<size_t>(deeper)] = 0;
    return value;
}

} // namespace ListLabels

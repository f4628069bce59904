#include "import/MarkdownStripper.h"

#include "import/ListLabels.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <vector>

namespace MarkdownStripper {

namespace {

// The characters a backslash escapes; an escaped one is parked on a private
// code point so no later rule reads it as markup.
const QString escapable = QStringLiteral("\\`*_{}[]()#+-.!>~|");
constexpr char16_t placeholderBase = 0xF800;

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

QString trimBlanks(const QString &s) {
    qsizetype begin = 0, end = s.size();
    while (begin < end && isBlank(s.at(begin)))
        ++begin;
    while (end > begin && isBlank(s.at(end - 1)))
        --end;
    return s.mid(begin, end - begin);
}

struct Rule {
    QRegularExpression pattern;
    QString replacement;
};

const std::vector<QRegularExpression> &blockPatterns() {
    static const std::vector<QRegularExpression> patterns = {
        QRegularExpression(QStringLiteral("^ {0,3}#{1,6}([ \\t]+|$)")),
        QRegularExpression(QStringLiteral("[ \\t]+#+[ \\t]*$")),
        QRegularExpression(QStringLiteral("[ \\t]+$")),
    };
    return patterns;
}

const std::vector<Rule> &inlineRules() {
    static const std::vector<Rule> rules = {
        {QRegularExpression(QStringLiteral("!\\[([^\\]]*)\\]\\([^)]*\\)")), QStringLiteral("\\1")},
        {QRegularExpression(QStringLiteral("\\[([^\\]]*)\\]\\([^)]*\\)")), QStringLiteral("\\1")},
        {QRegularExpression(QStringLiteral("\\[([^\\]]*)\\]\\[[^\\]]*\\]")), QStringLiteral("\\1")},
        {QRegularExpression(QStringLiteral("^\\[[^\\]]+\\]:.*$")), QString()},
        {QRegularExpression(QStringLiteral("<(https?://[^>]+)>")), QStringLiteral("\\1")},
        {QRegularExpression(QStringLiteral("</?[A-Za-z][^>]*>")), QString()},
        {QRegularExpression(QStringLiteral("`{1,3}([^`]*)`{1,3}")), QStringLiteral("\\1")},
        {QRegularExpression(QStringLiteral("\\*\\*\\*([^*]+)\\*\\*\\*")), QStringLiteral("\\1")},
        {QRegularExpression(QStringLiteral("\\*\\*([^*]+)\\*\\*")), QStringLiteral("\\1")},
        {QRegularExpression(QStringLiteral("\\*([^*\n]+)\\*")), QStringLiteral("\\1")},
        {QRegularExpression(QStringLiteral("~~([^~]+)~~")), QStringLiteral("\\1")},
        {QRegularExpression(QStringLiteral("(^|\\s)__([^_]+)__(?=$|\\s|[.,;:!?])")),
         QStringLiteral("\\1\\2")},
        {QRegularExpression(QStringLiteral("(^|\\s)_([^_]+)_(?=$|\\s|[.,;:!?])")),
         QStringLiteral("\\1\\2")},
    };
    return rules;
}

bool isThematicBreak(const QString &trimmed) {
    QString compact = trimmed;
    compact.remove(QLatin1Char(' '));
    if (compact.size() < 3)
        return false;
    const QChar first = compact.at(0);
    if (first != u'-' && first != u'*' && first != u'_')
        return false;
    for (QChar c : compact)
        if (c != first)
            return false;
    return true;
}

bool isSetextUnderline(const QString &line) {
    const QString t = trimBlanks(line);
    if (t.size() < 2)
        return false;
    for (QChar c : t)
        if (c != u'=')
            return false;
    return true;
}

} // namespace

QString strip(const QString &markdown) {
    QString text = markdown;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const QStringList source = text.split(QLatin1Char('\n'));

    struct Line {
        QString text;
        bool code;
        int heading = 0; // 1 to 3: kept as a "# " line
        QString original;
    };
    std::vector<Line> lines;
    lines.reserve(static_cast<size_t>(source.size()));
    bool inFence = false;
    for (const QString &line : source) {
        const QString t = trimBlanks(line);
        if (t.startsWith(QStringLiteral("```")) || t.startsWith(QStringLiteral("~~~"))) {
            inFence = !inFence;
            continue;
        }
        lines.push_back({line, inFence, 0, line});
    }

    for (Line &line : lines) {
        if (line.code) {
            // Code keeps its text; only trailing blanks go.
            while (!line.text.isEmpty() && isBlank(line.text.back()))
                line.text.chop(1);
            continue;
        }
        QString &s = line.text;
        if (s.contains(QLatin1Char('\\'))) {
            QString escaped;
            escaped.reserve(s.size());
            for (qsizetype i = 0; i < s.size(); ++i) {
                const qsizetype k = i + 1 < s.size() ? escapable.indexOf(s.at(i + 1)) : -1;
                if (s.at(i) == u'\\' && k >= 0) {
                    escaped += QChar(static_cast<char16_t>(placeholderBase + k));
                    ++i;
                } else {
                    escaped += s.at(i);
                }
            }
            s = escaped;
        }
        if (isThematicBreak(trimBlanks(s)))
            s.clear();
        static const QRegularExpression atx(QStringLiteral("^ {0,3}(#{1,6})([ \\t]|$)"));
        if (const auto m = atx.match(s); m.hasMatch())
            line.heading = std::min<int>(3, static_cast<int>(m.capturedLength(1)));
        // Nested quote markers ("> > >") in one pass: a copy per marker is
        // quadratic on a line of a million of them.
        qsizetype quoted = 0;
        for (qsizetype i = 0; i < s.size() && (isBlank(s.at(i)) || s.at(i) == u'>'); ++i)
            if (s.at(i) == u'>')
                quoted = i + 1;
        if (quoted > 0)
            s.remove(0, quoted);
        for (const QRegularExpression &pattern : blockPatterns())
            s.remove(pattern);
        // List items keep a label a reader can say, as the other importers
        // write them: "• " for a bullet (and a task), "3. " for a number.
        static const QRegularExpression bulletItem(
            QStringLiteral("^[ \\t]*[-*+][ \\t]+(\\[[ xX]\\][ \\t]+)?"));
        static const QRegularExpression numberItem(QStringLiteral("^[ \\t]*(\\d{1,9})[.)][ \\t]+"));
        if (const auto m = bulletItem.match(s); m.hasMatch())
            s.replace(0, m.capturedLength(), ListLabels::bullet);
        else if (const auto n = numberItem.match(s); n.hasMatch())
            s.replace(0, n.capturedLength(), n.captured(1) + QStringLiteral(". "));
    }

    for (size_t i = 1; i < lines.size(); ++i) {
        if (lines[i].code || lines[i - 1].code || trimBlanks(lines[i - 1].text).isEmpty() ||
            lines[i - 1].heading > 0)
            continue;
        // "Title" over "=====" or "-----" is a heading of the first or second level.
        const QString under = trimBlanks(lines[i].original);
        if (isSetextUnderline(lines[i].text)) {
            lines[i].text.clear();
            lines[i - 1].heading = 1;
        } else if (under.size() >= 2 && under.count(QLatin1Char('-')) == under.size()) {
            lines[i].text.clear();
            lines[i - 1].heading = 2;
        }
    }

    static const QRegularExpression tableChars(QStringLiteral("[ :|-]"));
    QStringList out;
    out.reserve(static_cast<qsizetype>(lines.size()));
    for (Line &line : lines) {
        QString s = line.text;
        if (!line.code) {
            for (const Rule &rule : inlineRules())
                s.replace(rule.pattern, rule.replacement);
            if (s.contains(QLatin1Char('|'))) {
                QString rest = s;
                rest.remove(tableChars);
                if (rest.isEmpty()) {
                    s.clear();
                } else {
                    qsizetype begin = 0, end = s.size();
                    while (begin < end && (s.at(begin) == u'|' || s.at(begin) == u' '))
                        ++begin;
                    while (end > begin && (s.at(end - 1) == u'|' || s.at(end - 1) == u' '))
                        --end;
                    s = s.mid(begin, end - begin);
                    s.replace(QLatin1Char('|'), QLatin1Char(' '));
                }
            }
            s = trimBlanks(s);
        }
        for (qsizetype i = 0; i < s.size(); ++i) {
            const char16_t c = s.at(i).unicode();
            if (c >= placeholderBase && c < placeholderBase + escapable.size())
                s[i] = escapable.at(c - placeholderBase);
        }
        if (line.heading > 0 && !s.isEmpty())
            s.prepend(QString(line.heading, QLatin1Char('#')) + QLatin1Char(' '));
        out << s;
    }
    return out.join(QLatin1Char('\n'));
}

} // namespace MarkdownStripper

#include "base/ScriptMarkup.h"

#include <algorithm>

namespace {

bool isHorizontalSpace(QChar c) {
    return c.isSpace() && !ScriptMarkup::isLineBreak(c);
}

// The marker's length ("## ") when a line is a heading, with the spaces
// after it; 0 otherwise.
int headingMarker(QStringView line, int &level) {
    int at = 0;
    while (at < line.size() && isHorizontalSpace(line[at]))
        ++at;
    int hashes = 0;
    while (at + hashes < line.size() && line[at + hashes] == u'#')
        ++hashes;
    if (hashes < 1 || hashes > 3)
        return 0;
    at += hashes;
    // "#" alone, or "#" then a space: "#tag" and "#1" are text.
    if (at < line.size() && !isHorizontalSpace(line[at]))
        return 0;
    while (at < line.size() && isHorizontalSpace(line[at]))
        ++at;
    level = hashes;
    return at;
}

void parseCues(QStringView text, int from, int to, std::vector<ScriptMarkup::Span> &out) {
    int depth = 0;
    int open = -1;
    const size_t escapesBefore = out.size();
    std::vector<ScriptMarkup::Span> escapes;
    for (int i = from; i < to; ++i) {
        const QChar c = text[i];
        if (c == u'\\' && i + 1 < to && (text[i + 1] == u'[' || text[i + 1] == u']')) {
            escapes.push_back({ScriptMarkup::Span::Kind::escape, i, 1, 0, 0});
            ++i; // the bracket after it is text
            continue;
        }
        if (c == u'[') {
            if (depth == 0) {
                // "a[0]" is text: a cue starts a word.
                if (i > from && text[i - 1].isLetterOrNumber())
                    continue;
                open = i;
            }
            ++depth;
        } else if (c == u']' && depth > 0) {
            if (--depth == 0) {
                out.push_back({ScriptMarkup::Span::Kind::cue, open, i + 1 - open, 0, 0});
                open = -1;
            }
        }
    }
    // Escapes inside a cue are part of it; the others stand on their own.
    for (const auto &e : escapes) {
        const bool inside = std::any_of(out.begin() + static_cast<std::ptrdiff_t>(escapesBefore),
                                        out.end(), [&](const ScriptMarkup::Span &s) {
                                            return e.location >= s.location && e.location < s.end();
                                        });
        if (!inside)
            out.push_back(e);
    }
    std::sort(out.begin() + static_cast<std::ptrdiff_t>(escapesBefore), out.end(),
              [](const auto &a, const auto &b) { return a.location < b.location; });
}

} // namespace

bool ScriptMarkup::isLineBreak(QChar c) {
    return c == u'\n' || c == u'\r' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
}

ScriptMarkup ScriptMarkup::parse(QStringView text, bool cues) {
    ScriptMarkup m;
    const int n = static_cast<int>(text.size());
    int start = 0;
    while (start <= n) {
        int end = start;
        while (end < n && !isLineBreak(text[end]))
            ++end;
        const QStringView line = text.mid(start, end - start);
        int level = 0;
        if (const int marker = headingMarker(line, level); marker > 0)
            m.spans.push_back({Span::Kind::heading, start, end - start, level, start + marker});
        else if (cues)
            parseCues(text, start, end, m.spans);
        if (end >= n)
            break;
        start = end + 1;
    }
    return m;
}

bool ScriptMarkup::isSilent(int location) const {
    // The last span starting at or before the location.
    auto it = std::upper_bound(spans.begin(), spans.end(), location,
                               [](int at, const Span &s) { return at < s.location; });
    if (it == spans.begin())
        return false;
    --it;
    return it->kind != Span::Kind::escape && location < it->end();
}

std::vector<ScriptMarkup::Heading> ScriptMarkup::headings(QStringView text) const {
    std::vector<Heading> out;
    for (const Span &s : spans)
        if (s.kind == Span::Kind::heading)
            out.push_back({s.location, s.level,
                           text.mid(s.titleLocation, s.end() - s.titleLocation)
                               .trimmed()
                               .toString()});
    return out;
}

QString ScriptMarkup::spoken(QStringView text) const {
    QString out = text.toString();
    for (const Span &s : spans)
        if (s.kind != Span::Kind::escape)
            for (int i = s.location; i < s.end() && i < out.size(); ++i)
                out[i] = u' ';
    return out;
}

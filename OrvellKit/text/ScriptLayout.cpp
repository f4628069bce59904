#include "text/ScriptLayout.h"

#include "text/Typography.h"

#include <QGlyphRun>
#include <QMultiHash>
#include <QPainter>
#include <QRawFont>
#include <QTextLayout>
#include <QTextOption>
#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Characters that end a paragraph: the next character starts a new line.
int breakLength(const QString &text, int i) {
    const char16_t c = text.at(i).unicode();
    if (c == u'\r')
        return i + 1 < text.size() && text.at(i + 1) == u'\n' ? 2 : 1;
    return c == u'\n' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator ? 1 : 0;
}

// A character the font maps straight to one glyph of its own, left to right.
bool isSimple(QChar c) {
    if (c.isSurrogate() || c.unicode() < 0x20)
        return false;
    switch (c.category()) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
    case QChar::Other_Format:
        return false;
    default:
        break;
    }
    switch (c.direction()) {
    case QChar::DirL:
    case QChar::DirWS:
    case QChar::DirON:
    case QChar::DirEN:
    case QChar::DirCS:
    case QChar::DirES:
    case QChar::DirET:
        return true;
    default:
        return false;
    }
}

// Asking Qt for each character's x costs a walk from the start of its text
// run every time, which dominates long scripts. When a line is one run of
// left-to-right glyphs that map one to one onto its characters, the drawn
// glyph positions are those x values, read in one pass.
bool readCaretsFromGlyphs(const QTextLine &line, QStringView text, int first, int visibleEnd,
                          double *caretX) {
    for (int c = first; c < visibleEnd; ++c) {
        if (!isSimple(text.at(c)))
            return false;
    }
    const QList<QGlyphRun> runs = line.glyphRuns();
    if (runs.size() != 1)
        return false;
    const QGlyphRun &run = runs.first();
    const QList<quint32> glyphs = run.glyphIndexes();
    if (glyphs.size() != visibleEnd - first ||
        glyphs !=
            run.rawFont().glyphIndexesForString(text.mid(first, visibleEnd - first).toString()))
        return false;
    const QList<QPointF> positions = run.positions();
    for (int k = 0; k < visibleEnd - first; ++k)
        caretX[first + k] = positions.at(k).x();
    return true;
}

// One paragraph: its text without the break, the break after it, and its
// lines once laid out (tops counted from the paragraph's first line).
struct Paragraph {
    int start = 0;
    int contentEnd = 0;
    int breakEnd = 0;
    std::vector<ScriptLayout::Line> lines;
    // Kept for drawing, so the drawn glyphs are exactly the measured ones.
    std::shared_ptr<QTextLayout> text;
};

struct LineMetrics {
    QFont font;
    double width = 0;
    double natural = 0;
    double pitch = 0;
};

// Fills the paragraph's lines and its characters' x in caretX (indexed by
// the script's offsets). Paragraphs touch disjoint parts of caretX, so
// several can be laid out at once.
// How a paragraph's cues and headings look: cues italic and not drawn with
// the text (the renderer draws them apart), a heading bold with its "#"
// marker shrunk to nothing, an escaping backslash likewise.
QList<QTextLayout::FormatRange> markupFormats(const ScriptMarkup &markup, const Paragraph &p) {
    QList<QTextLayout::FormatRange> formats;
    const auto add = [&](int from, int to, const QTextCharFormat &format) {
        from = std::max(from, p.start);
        to = std::min(to, p.contentEnd);
        if (to > from)
            formats.append({from - p.start, to - from, format});
    };
    QTextCharFormat hidden;
    hidden.setForeground(Qt::transparent);
    hidden.setFontPointSize(0.5);
    QTextCharFormat cue;
    cue.setFontItalic(true);
    cue.setForeground(Qt::transparent);
    QTextCharFormat heading;
    heading.setFontWeight(QFont::Bold);
    for (const ScriptMarkup::Span &s : markup.spans) {
        if (s.end() <= p.start || s.location >= p.contentEnd)
            continue;
        switch (s.kind) {
        case ScriptMarkup::Span::Kind::cue:
            add(s.location, s.end(), cue);
            break;
        case ScriptMarkup::Span::Kind::escape:
            add(s.location, s.end(), hidden);
            break;
        case ScriptMarkup::Span::Kind::heading:
            add(s.location, s.titleLocation, hidden);
            add(s.titleLocation, s.end(), heading);
            break;
        }
    }
    return formats;
}

void layOutParagraph(const QString &text, const LineMetrics &m, const ScriptMarkup &markup,
                     Paragraph &p, double *caretX) {
    const int length = p.contentEnd - p.start;
    if (length == 0) {
        const double mid = m.width / 2;
        p.lines.push_back({0, m.pitch, mid, mid, m.natural / 2, p.start, p.breakEnd});
        std::fill(caretX + p.start, caretX + p.breakEnd, mid);
        return;
    }
    const QStringView content = QStringView(text).mid(p.start, length);
    p.text = std::make_shared<QTextLayout>(content.toString(), m.font, Typography::layoutDevice());
    QTextLayout &layout = *p.text;
    QTextOption option(Qt::AlignHCenter);
    // Break at word boundaries, and inside a word only when it is wider than the line.
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.setCacheEnabled(true);
    if (!markup.spans.empty())
        layout.setFormats(markupFormats(markup, p));

    layout.beginLayout();
    double y = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(m.width);
        line.setPosition(QPointF(0, y));
        y += m.pitch;
    }
    layout.endLayout();

    double *x = caretX + p.start;
    for (int i = 0; i < layout.lineCount(); ++i) {
        const QTextLine line = layout.lineAt(i);
        const QRectF used = line.naturalTextRect();
        const int first = line.textStart();
        const bool last = i + 1 == layout.lineCount();
        const int end = last ? length : first + line.textLength();
        const double top = i * m.pitch;
        const bool bidi = std::any_of(content.begin() + first, content.begin() + end, [](QChar c) {
            const QChar::Direction d = c.direction();
            return d == QChar::DirR || d == QChar::DirAL;
        });
        p.lines.push_back({top, top + m.pitch, used.left(), used.right(), top + m.natural / 2,
                           p.start + first, last ? p.breakEnd : p.start + end, bidi});
        // Trailing white space, the paragraph break and the trailing halves of
        // surrogate pairs have no glyph of their own: they stand at the right edge.
        int visibleEnd = end;
        while (visibleEnd > first && content.at(visibleEnd - 1).isSpace())
            --visibleEnd;
        std::fill(x + first, x + end, used.right());
        if (last)
            std::fill(caretX + p.contentEnd, caretX + p.breakEnd, used.right());
        if (!readCaretsFromGlyphs(line, content, first, visibleEnd, x)) {
            for (int c = first; c < visibleEnd; ++c) {
                if (!content.at(c).isLowSurrogate())
                    x[c] = line.cursorToX(c);
            }
        }
    }
}

std::vector<Paragraph> splitParagraphs(const QString &text) {
    std::vector<Paragraph> paragraphs;
    const int n = static_cast<int>(text.size());
    int start = 0;
    for (int i = 0; i < n;) {
        const int b = breakLength(text, i);
        if (b == 0) {
            ++i;
            continue;
        }
        paragraphs.push_back({start, i, i + b, {}, {}});
        i += b;
        start = i;
    }
    // A text that ends with a break has no empty line after it.
    if (start < n)
        paragraphs.push_back({start, n, n, {}, {}});
    return paragraphs;
}

// Below this many characters a layout is quicker on one thread.
constexpr int parallelThreshold = 20000;

} // namespace

ScriptLayout::ScriptLayout(Key key, const ScriptWords &words, const ScriptLayout *previous)
    : m_key(std::move(key))
    , m_markup(words.markup) {
    const QString &text = m_key.text;
    const int n = static_cast<int>(text.size());
    m_caretX.assign(n, 0);
    m_characterLine.assign(n, 0);
    m_wordLine.assign(words.words.size(), 0);
    if (n == 0)
        return;

    LineMetrics metrics;
    metrics.font = Typography::scriptFont(m_key.fontSize);
    metrics.width = std::max(m_key.width, 1.0);
    metrics.natural = Typography::naturalLineHeight(m_key.fontSize);
    metrics.pitch = std::max(metrics.natural, m_key.lineHeightMultiple * m_key.fontSize);

    std::vector<Paragraph> paragraphs = splitParagraphs(text);
    double *caretX = m_caretX.data();
    // Paragraphs the previous layout of this script had are taken as they were.
    QMultiHash<QStringView, const LaidParagraph *> known;
    if (previous && previous->m_key.width == m_key.width &&
        previous->m_key.fontSize == m_key.fontSize &&
        previous->m_key.lineHeightMultiple == m_key.lineHeightMultiple &&
        previous->m_key.cues == m_key.cues)
        for (const LaidParagraph &laid : previous->m_laid)
            known.insert(QStringView(laid.content), &laid);
    std::vector<Paragraph *> fresh;
    for (Paragraph &p : paragraphs) {
        const QStringView content = QStringView(text).mid(p.start, p.contentEnd - p.start);
        const LaidParagraph *reuse = nullptr;
        for (auto it = known.constFind(content); it != known.cend() && it.key() == content; ++it)
            if ((*it)->breakLength == p.breakEnd - p.contentEnd)
                reuse = *it;
        if (!reuse) {
            fresh.push_back(&p);
            continue;
        }
        p.text = reuse->text;
        for (ScriptLayout::Line line : reuse->lines) {
            line.firstCharacter += p.start;
            line.endCharacter += p.start;
            p.lines.push_back(line);
        }
        std::copy(reuse->caretX.begin(), reuse->caretX.end(), caretX + p.start);
    }
    const auto layOut = [&](Paragraph *p) {
        layOutParagraph(text, metrics, m_markup, *p, caretX);
    };
    if (n >= parallelThreshold && fresh.size() > 1)
        QtConcurrent::blockingMap(fresh, layOut);
    else
        std::for_each(fresh.begin(), fresh.end(), layOut);
    m_laid.reserve(paragraphs.size());
    for (const Paragraph &p : paragraphs) {
        LaidParagraph laid{text.mid(p.start, p.contentEnd - p.start), p.breakEnd - p.contentEnd,
                           p.lines, std::vector<double>(caretX + p.start, caretX + p.breakEnd),
                           p.text};
        for (ScriptLayout::Line &line : laid.lines) {
            line.firstCharacter -= p.start;
            line.endCharacter -= p.start;
        }
        m_laid.push_back(std::move(laid));
    }

    size_t lineCount = 0;
    for (const Paragraph &p : paragraphs)
        lineCount += p.lines.size();
    if (lineCount >= static_cast<size_t>(std::numeric_limits<qint32>::max()))
        qFatal("ScriptLayout: more lines than a line index can hold");
    m_lines.reserve(lineCount);
    m_drawn.reserve(lineCount);
    for (const Paragraph &p : paragraphs) {
        if (p.text)
            m_paragraphLayouts.push_back(p.text);
        int local = 0;
        const double offset = static_cast<double>(m_lines.size()) * metrics.pitch;
        for (Line line : p.lines) {
            line.top += offset;
            line.bottom += offset;
            line.midY += offset;
            std::fill(m_characterLine.begin() + line.firstCharacter,
                      m_characterLine.begin() + line.endCharacter,
                      static_cast<qint32>(m_lines.size()));
            m_lines.push_back(line);
            m_drawn.push_back(
                {p.text ? static_cast<int>(m_paragraphLayouts.size()) - 1 : -1, local++, line.top});
        }
    }
    m_height = static_cast<double>(m_lines.size()) * metrics.pitch;

    for (size_t k = 0; k < words.words.size(); ++k) {
        const int location = words.words[k].location;
        m_wordLine[k] = location < n ? m_characterLine[location] : 0;
    }
}

void ScriptLayout::drawLine(QPainter &painter, int index, QPointF textOrigin) const {
    if (index < 0 || static_cast<size_t>(index) >= m_drawn.size())
        return;
    const DrawnLine &d = m_drawn[static_cast<size_t>(index)];
    if (d.paragraph < 0)
        return;
    const QTextLine line = m_paragraphLayouts[static_cast<size_t>(d.paragraph)]->lineAt(d.line);
    // The QTextLine sits at its paragraph-local top; move it to the script's.
    line.draw(&painter, textOrigin + QPointF(0, d.top - line.y()));
}

bool ScriptLayout::hasCues(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= m_lines.size())
        return false;
    const Line &line = m_lines[static_cast<size_t>(index)];
    return std::any_of(m_markup.spans.begin(), m_markup.spans.end(), [&](const auto &s) {
        return s.kind == ScriptMarkup::Span::Kind::cue && s.location < line.endCharacter &&
               s.end() > line.firstCharacter;
    });
}

void ScriptLayout::drawCues(QPainter &painter, int index, QPointF textOrigin) const {
    if (!hasCues(index))
        return;
    const DrawnLine &d = m_drawn[static_cast<size_t>(index)];
    if (d.paragraph < 0)
        return;
    const QTextLayout &paragraph = *m_paragraphLayouts[static_cast<size_t>(d.paragraph)];
    const QTextLine line = paragraph.lineAt(d.line);
    const Line &l = m_lines[static_cast<size_t>(index)];
    // The paragraph's first character, as the layout counts.
    const int start = l.firstCharacter - line.textStart();
    const QPointF at = textOrigin + QPointF(0, d.top - line.y());
    for (const ScriptMarkup::Span &s : m_markup.spans) {
        if (s.kind != ScriptMarkup::Span::Kind::cue)
            continue;
        const int from = std::max(s.location, l.firstCharacter);
        const int to = std::min(s.end(), l.endCharacter);
        if (to <= from)
            continue;
        for (const QGlyphRun &run : line.glyphRuns(from - start, to - from))
            painter.drawGlyphRun(at, run);
    }
}

std::shared_ptr<const ScriptLayout> ScriptLayout::shared(const Key &key, const ScriptWords &words) {
    // The few layouts still held by someone; a handful of holders ask for at most two keys.
    static std::vector<std::weak_ptr<const ScriptLayout>> recent;
    std::erase_if(recent, [](const auto &weak) { return weak.expired(); });
    std::shared_ptr<const ScriptLayout> previous;
    for (const auto &weak : recent) {
        auto layout = weak.lock();
        if (layout && layout->key() == key)
            return layout;
        // The same script before an edit, most likely: its paragraphs are reused.
        if (layout && layout->key().width == key.width && layout->key().fontSize == key.fontSize &&
            layout->key().lineHeightMultiple == key.lineHeightMultiple &&
            layout->key().cues == key.cues)
            previous = layout;
    }
    auto layout = std::make_shared<const ScriptLayout>(key, words, previous.get());
    recent.push_back(layout);
    return layout;
}

double ScriptLayout::midY(int word) const {
    if (m_wordLine.empty() || m_lines.empty())
        return 0;
    const int i = std::clamp(word, 0, static_cast<int>(m_wordLine.size()) - 1);
    return m_lines[m_wordLine[i]].midY;
}

double ScriptLayout::midY(int word, double contentHeight) const {
    const double y = midY(word);
    return contentHeight > 0 && m_height > 0 ? y * contentHeight / m_height : y;
}

ScriptLayout::Position ScriptLayout::position(double p) const {
    if (m_lines.empty())
        return {0, 0};
    const auto count = static_cast<double>(m_caretX.size());
    if (!(p < count)) {
        const Line &last = m_lines.back();
        return {static_cast<int>(m_lines.size()) - 1, last.bidi && runsLeftAt(count - 1)
                                                          ? last.minX
                                                          : last.maxX};
    }
    const double whole = std::floor(p);
    const int i = whole > 0 ? static_cast<int>(whole) : 0;
    const double f = p - i;
    const int line = m_characterLine[i];
    if (m_lines[line].bidi)
        if (const auto e = bidiEdges(i))
            return {line, e->first + f * (e->second - e->first)};
    const double x0 = m_caretX[i];
    return {line, f > 0 ? x0 + f * (trailingX(i) - x0) : x0};
}

double ScriptLayout::trailingX(int i) const {
    const int line = m_characterLine[i];
    const Line &l = m_lines[line];
    // The fraction of a line's last character runs to the line's right edge,
    // never towards the next line's first character.
    const size_t next = static_cast<size_t>(i) + 1;
    return next < m_caretX.size() && m_characterLine[next] == line ? m_caretX[next] : l.maxX;
}

std::optional<std::pair<double, double>> ScriptLayout::bidiEdges(int i) const {
    const int line = m_characterLine[i];
    const DrawnLine &d = m_drawn[static_cast<size_t>(line)];
    if (d.paragraph < 0)
        return std::nullopt;
    const QTextLine text = m_paragraphLayouts[static_cast<size_t>(d.paragraph)]->lineAt(d.line);
    const int local = i - m_lines[line].firstCharacter + text.textStart();
    // The paragraph's break has no glyph.
    if (local >= text.textStart() + text.textLength())
        return std::nullopt;
    // The character's own glyphs: a caret position where the direction
    // changes belongs to the run before it, so carets cannot say this.
    const QList<QGlyphRun> runs = text.glyphRuns(local, 1);
    if (runs.isEmpty())
        return std::nullopt;
    QRectF box;
    for (const QGlyphRun &run : runs)
        box |= run.boundingRect();
    if (runs.first().isRightToLeft())
        return std::pair(box.right(), box.left());
    return std::pair(box.left(), box.right());
}

bool ScriptLayout::runsLeftAt(double p) const {
    if (m_caretX.empty())
        return false;
    const int i = std::clamp(static_cast<int>(std::floor(p)), 0,
                             static_cast<int>(m_caretX.size()) - 1);
    if (!m_lines[m_characterLine[i]].bidi)
        return false;
    const auto e = bidiEdges(i);
    return e && e->second < e->first;
}

std::vector<std::pair<double, double>> ScriptLayout::stretches(int line, double from,
                                                               double to) const {
    std::vector<std::pair<double, double>> out;
    if (line < 0 || static_cast<size_t>(line) >= m_lines.size())
        return out;
    const Line &l = m_lines[static_cast<size_t>(line)];
    from = std::max(from, double(l.firstCharacter));
    to = std::min(to, double(l.endCharacter));
    if (!(to > from))
        return out;
    if (!l.bidi) {
        const double a = position(from).x;
        const double b = to >= l.endCharacter ? l.maxX : position(to).x;
        out.push_back({std::min(a, b), std::max(a, b)});
        return out;
    }
    for (int c = static_cast<int>(std::floor(from)); c < to; ++c) {
        const auto edges = bidiEdges(c);
        if (!edges)
            continue;
        const auto [lead, trail] = *edges;
        const double a = lead + std::max(0.0, from - c) * (trail - lead);
        const double b = lead + std::min(1.0, to - c) * (trail - lead);
        if (std::abs(b - a) > 0.01)
            out.push_back({std::min(a, b), std::max(a, b)});
    }
    std::sort(out.begin(), out.end());
    // Neighbouring glyphs touch: one stretch per run.
    std::vector<std::pair<double, double>> merged;
    for (const auto &s : out) {
        if (!merged.empty() && s.first <= merged.back().second + 0.5)
            merged.back().second = std::max(merged.back().second, s.second);
        else
            merged.push_back(s);
    }
    return merged;
}

namespace ReadingLine {

double offsetFor(double y, double lineHeight, double viewportHeight) {
    return y + 0.5 * viewportHeight - (0.5 * lineHeight + topAnchoredFade * viewportHeight);
}

double yAt(double offset, double lineHeight, double viewportHeight) {
    return offset - 0.5 * viewportHeight + 0.5 * lineHeight + topAnchoredFade * viewportHeight;
}

double followTarget(int word, const ScriptLayout &layout, double fontSize,
                    double lineHeightMultiple, double viewportHeight, double contentHeight) {
    return offsetFor(layout.midY(word, contentHeight), lineHeightMultiple * fontSize,
                     viewportHeight);
}

} // namespace ReadingLine

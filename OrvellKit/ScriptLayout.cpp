#include "ScriptLayout.h"

#include "ReadingPreferences.h"
#include "ScrollEngine.h"
#include "Typography.h"

#include <QTextLayout>
#include <QTextOption>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// QTextLayout lays out one paragraph and breaks lines only at U+2028. Every
// replacement keeps the text's length, so offsets stay the script's own.
QString layoutText(const QString &text)
{
    QString s = text;
    for (qsizetype i = 0; i < s.size(); ++i) {
        const char16_t c = s.at(i).unicode();
        if (c == u'\n' || c == QChar::ParagraphSeparator)
            s[i] = QChar::LineSeparator;
        else if (c == u'\r')
            s[i] = (i + 1 < s.size() && s.at(i + 1) == u'\n') ? QChar(0x200B)
                                                               : QChar(QChar::LineSeparator);
    }
    return s;
}

bool hasOwnGlyph(QChar c)
{
    return !c.isLowSurrogate() && c != QChar::LineSeparator && c != QChar(0x200B);
}

} // namespace

ScriptLayout::ScriptLayout(Key key, const ScriptWords &words)
    : m_key(std::move(key))
{
    const QString &text = m_key.text;
    const int n = static_cast<int>(text.size());
    m_caretX.assign(n, 0);
    m_characterLine.assign(n, 0);
    m_wordLine.assign(words.words.size(), 0);
    if (n == 0)
        return;

    const double width = std::max(m_key.width, 1.0);
    const double natural = Typography::naturalLineHeight(m_key.fontSize);
    const double pitch = natural + Typography::lineSpacing(m_key.fontSize, m_key.lineHeightMultiple);

    const QString shaped = layoutText(text);
    QTextLayout layout(shaped, Typography::scriptFont(m_key.fontSize), Typography::layoutDevice());
    QTextOption option(Qt::AlignHCenter);
    // Like the drawn text: break at word boundaries, and inside a word only
    // when it is wider than the line.
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.setCacheEnabled(true);

    layout.beginLayout();
    double y = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, y));
        y += pitch;
    }
    layout.endLayout();

    const int lineCount = layout.lineCount();
    if (lineCount >= std::numeric_limits<qint32>::max())
        qFatal("ScriptLayout: more lines than a line index can hold");
    m_lines.reserve(lineCount);
    for (int i = 0; i < lineCount; ++i) {
        const QTextLine line = layout.lineAt(i);
        const QRectF used = line.naturalTextRect();
        const int first = line.textStart();
        const int end = std::min(n, first + line.textLength());
        const double top = i * pitch;
        m_lines.push_back({top, top + pitch, used.left(), used.right(), top + natural / 2, first,
                           end});
        for (int c = first; c < end; ++c) {
            m_characterLine[c] = i;
            m_caretX[c] = hasOwnGlyph(shaped.at(c)) ? line.cursorToX(c) : used.right();
        }
    }
    m_height = lineCount * pitch;

    for (size_t k = 0; k < words.words.size(); ++k) {
        const int location = words.words[k].location;
        m_wordLine[k] = location < n ? m_characterLine[location] : 0;
    }
}

double ScriptLayout::midY(int word) const
{
    if (m_wordLine.empty() || m_lines.empty())
        return 0;
    const int i = std::clamp(word, 0, static_cast<int>(m_wordLine.size()) - 1);
    return m_lines[m_wordLine[i]].midY;
}

double ScriptLayout::midY(int word, double contentHeight) const
{
    const double y = midY(word);
    return contentHeight > 0 && m_height > 0 ? y * contentHeight / m_height : y;
}

ScriptLayout::Position ScriptLayout::position(double p) const
{
    if (m_lines.empty())
        return {0, 0};
    const auto count = static_cast<double>(m_caretX.size());
    if (!(p < count))
        return {static_cast<int>(m_lines.size()) - 1, m_lines.back().maxX};
    const double whole = std::floor(p);
    const int i = whole > 0 ? static_cast<int>(whole) : 0;
    const double f = p - i;
    const int line = m_characterLine[i];
    const double x0 = m_caretX[i];
    const size_t next = static_cast<size_t>(i) + 1;
    // The fraction of a line's last character runs to the line's right edge,
    // never towards the next line's first character.
    const double x1 = next < m_caretX.size() && m_characterLine[next] == line
                          ? m_caretX[next]
                          : m_lines[line].maxX;
    return {line, x0 + f * (x1 - x0)};
}

namespace ReadingLine {

double followTarget(int word, const ScriptLayout &layout, double fontSize,
                    double lineHeightMultiple, double viewportHeight, double contentHeight)
{
    const double y = layout.midY(word, contentHeight);
    const double lineHeight = lineHeightMultiple * fontSize;
    return y + 0.5 * viewportHeight - (0.5 * lineHeight + topAnchoredFade * viewportHeight);
}

double followTarget(int word, const ScriptLayout &layout, const ReadingPreferences &prefs,
                    const ScrollEngine &scroll)
{
    return followTarget(word, layout, prefs.fontSize(), prefs.lineHeightMultiple(),
                        scroll.viewportHeight(), scroll.contentHeight());
}

} // namespace ReadingLine

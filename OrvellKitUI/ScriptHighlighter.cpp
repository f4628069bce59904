#include "OrvellKitUI/ScriptHighlighter.h"

#include "base/ScriptMarkup.h"

#include <QGuiApplication>
#include <QPalette>

ScriptHighlighter::ScriptHighlighter(QTextDocument *document)
    : QSyntaxHighlighter(document) {}

void ScriptHighlighter::setCues(bool cues) {
    if (cues == m_cues)
        return;
    m_cues = cues;
    rehighlight();
}

void ScriptHighlighter::highlightBlock(const QString &text) {
    // A block is one line: cues end with their line, and a heading is one.
    const ScriptMarkup markup = ScriptMarkup::parse(text, m_cues);
    const QPalette palette = QGuiApplication::palette();
    QColor quiet = palette.color(QPalette::Text);
    quiet.setAlphaF(0.55);
    QTextCharFormat cue;
    cue.setFontItalic(true);
    cue.setForeground(quiet);
    QTextCharFormat marker;
    marker.setForeground(quiet);
    QTextCharFormat heading;
    heading.setFontWeight(QFont::Bold);
    for (const ScriptMarkup::Span &s : markup.spans) {
        switch (s.kind) {
        case ScriptMarkup::Span::Kind::cue:
        case ScriptMarkup::Span::Kind::escape:
            setFormat(s.location, s.length, cue);
            break;
        case ScriptMarkup::Span::Kind::heading:
            setFormat(s.location, s.titleLocation - s.location, marker);
            setFormat(s.titleLocation, s.end() - s.titleLocation, heading);
            break;
        }
    }
}

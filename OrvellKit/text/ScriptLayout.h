#pragma once

#include "text/ScriptWords.h"

#include <QPointF>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

class QPainter;
class QTextLayout;

// A script laid out in centred lines exactly as the island draws it, so the
// logic can answer geometric questions (which line a word is on, where a
// glow front stands) without asking a view. Immutable once built.
class ScriptLayout {
public:
    struct Key {
        QString text;
        double width = 0;
        double fontSize = 0;
        double lineHeightMultiple = 0;
        // Whether [brackets] are cues (drawn apart) or text.
        bool cues = true;
        bool operator==(const Key &) const = default;
    };

    struct Line {
        double top = 0; // y grows downwards from the top of the text
        double bottom = 0;
        double minX = 0; // the glyphs' extent after centring
        double maxX = 0;
        double midY = 0;
        int firstCharacter = 0; // half-open UTF-16 range [firstCharacter, endCharacter)
        int endCharacter = 0;
        // Holds right-to-left text: its characters do not run left to right.
        bool bidi = false;
    };

    struct Position {
        int line = 0;
        double x = 0;
        bool operator==(const Position &) const = default;
    };

    // `words` must be the words of key.text. Needs a QGuiApplication (fonts).
    // Paragraphs that `previous` (same width and type) laid out already are
    // taken from it: an edit lays out only the paragraphs it touched.
    ScriptLayout(Key key, const ScriptWords &words, const ScriptLayout *previous = nullptr);

    // The layout for a key, shared: the island's drawing and the guide that
    // steers it ask for the same key, and only the first one builds it.
    // GUI thread only.
    static std::shared_ptr<const ScriptLayout> shared(const Key &key, const ScriptWords &words);

    const Key &key() const { return m_key; }
    double height() const { return m_height; }
    const std::vector<Line> &lines() const { return m_lines; }
    const std::vector<int> &wordLine() const { return m_wordLine; }
    const std::vector<double> &caretX() const { return m_caretX; }
    const std::vector<qint32> &characterLine() const { return m_characterLine; }

    // The word index is clamped; 0 without words or lines.
    double midY(int word) const;
    // Scaled onto a content height the view measured, when both are positive.
    double midY(int word, double scaledToContentHeight) const;
    // Where a fractional UTF-16 position falls; constant time.
    Position position(double character) const;

    // The stretches of a line, left to right, that the characters between
    // two fractional positions cover: one for left-to-right text, a
    // right-to-left or mixed line's runs as they are seen.
    std::vector<std::pair<double, double>> stretches(int line, double from, double to) const;
    // Whether the character at a position is read leftwards.
    bool runsLeftAt(double character) const;

    // Draws one line with the painter's pen, the text's top-left corner at
    // `textOrigin`; the glyphs are those the layout measured. Headings are
    // bold, without their "#" marker; cues are left out: they are drawn
    // apart, in a style of their own that no light reaches.
    void drawLine(QPainter &painter, int line, QPointF textOrigin) const;
    // Draws only the line's cues (italic), as drawLine places them.
    void drawCues(QPainter &painter, int line, QPointF textOrigin) const;
    bool hasCues(int line) const;

private:
    // Where a character's glyph ends in reading order.
    double trailingX(int character) const;
    // A character's leading and trailing edges on a line that holds
    // right-to-left text; none for a paragraph break.
    std::optional<std::pair<double, double>> bidiEdges(int character) const;

    Key m_key;
    ScriptMarkup m_markup;
    double m_height = 0;
    std::vector<Line> m_lines;
    std::vector<int> m_wordLine;
    std::vector<double> m_caretX;
    std::vector<qint32> m_characterLine;

    struct DrawnLine {
        int paragraph = -1; // index into m_paragraphLayouts; -1 for a blank line
        int line = 0;       // the line within that paragraph
        double top = 0;
    };
    std::vector<std::shared_ptr<QTextLayout>> m_paragraphLayouts;
    std::vector<DrawnLine> m_drawn;

    // Each paragraph as laid out, its positions its own, for the next layout.
    struct LaidParagraph {
        QString content;
        int breakLength = 0;
        std::vector<Line> lines; // characters counted from the paragraph's start
        std::vector<double> caretX;
        std::shared_ptr<QTextLayout> text;
    };
    std::vector<LaidParagraph> m_laid;
};

namespace ReadingLine {
// The reading line's distance from the viewport's top, as a fraction of its height.
inline constexpr double topAnchoredFade = 0.12;

// The scroll offset that puts the text's y (a line's middle) on the reading
// line, and the y the reading line crosses at an offset. The drawn text is
// preceded by half a viewport of blank space.
double offsetFor(double y, double lineHeight, double viewportHeight);
double yAt(double offset, double lineHeight, double viewportHeight);
// The scroll offset that puts word `word`'s line on the reading line.
double followTarget(int word, const ScriptLayout &layout, double fontSize,
                    double lineHeightMultiple, double viewportHeight, double contentHeight);
} // namespace ReadingLine

#pragma once

#include <QHash>
#include <QString>

#include <array>

// The labels of list items as a reader says them: "• " for a bullet, "1. ",
// "b) ", "iv. " for numbers, whatever the document's numbering definitions
// say the number looks like.
namespace ListLabels {

enum class Format { bullet, decimal, lowerLetter, upperLetter, lowerRoman, upperRoman, none };

inline const QString bullet = QStringLiteral("\u2022 ");

QString number(int n, Format format);

// Word's names ("decimal", "lowerLetter", …) and Word 2003's numeric codes.
Format fromWordName(QStringView name);
Format fromWordCode(int code);
// OpenDocument's num-format ("1", "a", "A", "i", "I", "").
Format fromOpenDocument(QStringView format);

// Counts the items of numbered lists: level by level, the deeper levels
// starting again whenever a shallower one moves on.
class Counter {
public:
    static constexpr int levels = 9;
    // The next number at `level`; the first one is `start`.
    int next(int level, int start);
    int current(int level) const { return m_values[static_cast<size_t>(clamp(level))]; }
    void reset() { m_values.fill(0); }

private:
    static int clamp(int level) { return level < 0 ? 0 : (level >= levels ? levels - 1 : level); }
    std::array<int, levels> m_values{};
};

} // namespace ListLabels

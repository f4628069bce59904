#pragma once

#include <QColor>

// The named colours the island, the deck and the library share.
namespace Tokens {
inline QColor black() {
    return QColor(0, 0, 0);
}
inline QColor primaryWhite() {
    return QColor(255, 255, 255);
}
inline QColor secondaryWhite() {
    return QColor(255, 255, 255, 166);
}
inline QColor tertiaryWhite() {
    return QColor(255, 255, 255, 89);
}
// Text not yet lit, and lit text.
inline QColor scriptUnread() {
    return QColor(255, 255, 255, 115);
}
inline QColor scriptGlow() {
    return QColor(255, 255, 255);
}
inline QColor panelFill() {
    return QColor(0, 0, 0);
}
inline QColor controlFill() {
    return QColor(255, 255, 255, 28);
}
inline QColor controlStroke() {
    return QColor(255, 255, 255, 46);
}
inline QColor controlGlyph() {
    return QColor(255, 255, 255, 200);
}
inline QColor brandBlue() {
    return QColor(10, 132, 255);
}
} // namespace Tokens

// Drop shadows by name.
struct ShadowStyle {
    QColor color;
    double radius = 0;
    double x = 0;
    double y = 0;
};

namespace Shadows {
inline ShadowStyle notchPanel() {
    return {QColor(0, 0, 0, 110), 18, 0, 8};
}
} // namespace Shadows

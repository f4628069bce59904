#pragma once

#include <algorithm>

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
inline QColor lightBlue() {
    return QColor(100, 180, 255);
}
inline QColor deepBlue() {
    return QColor(0, 64, 160);
}
inline QColor primaryGray() {
    return QColor(142, 142, 147);
}
inline QColor surface() {
    return QColor(28, 28, 30);
}
inline QColor accentMagenta() {
    return QColor(191, 90, 242);
}
inline QColor accentPink() {
    return QColor(255, 55, 95);
}
inline QColor plum() {
    return QColor(88, 40, 96);
}
inline QColor pulseHalo() {
    return QColor(10, 132, 255, 90);
}
// The deck's glass card and its edge.
inline QColor cardFill() {
    return QColor(22, 22, 24, 235);
}
inline QColor cardStroke() {
    return QColor(255, 255, 255, 38);
}
inline QColor sidebarIcon() {
    return QColor(10, 132, 255);
}
inline QColor sliderTrack() {
    return QColor(255, 255, 255, 56);
}
inline QColor sliderTick() {
    return QColor(255, 255, 255, 90);
}

// A script tile's fill and ink, by palette index.
struct TileColors {
    QColor fill;
    QColor ink;
};
inline TileColors tilePalette(int index) {
    static const TileColors palette[6] = {
        {QColor(243, 227, 181), QColor(107, 83, 22)}, {QColor(201, 230, 247), QColor(29, 90, 125)},
        {QColor(216, 237, 201), QColor(58, 100, 32)}, {QColor(245, 208, 197), QColor(127, 53, 34)},
        {QColor(226, 214, 245), QColor(79, 58, 128)}, {QColor(240, 240, 196), QColor(94, 94, 20)}};
    return palette[((index % 6) + 6) % 6];
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
inline ShadowStyle playButton() {
    return {QColor(0, 0, 0, 90), 8, 0, 3};
}
inline ShadowStyle playButtonHover() {
    return {QColor(10, 132, 255, 120), 12, 0, 3};
}
inline ShadowStyle sliderThumb() {
    return {QColor(0, 0, 0, 80), 4, 0, 1};
}
inline ShadowStyle controlDeck() {
    return {QColor(0, 0, 0, 120), 30, 0, 12};
}
// Close to the shape, for windows whose transparent margin would take clicks
// (XWayland): a soft edge a few pixels wide rather than a cast shadow.
inline ShadowStyle close(const ShadowStyle &style) {
    return {style.color, std::min(style.radius, 6.0), 0, std::min(style.y, 3.0)};
}
} // namespace Shadows

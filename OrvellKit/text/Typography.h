#pragma once

#include <QFont>

class QPaintDevice;

// The script's font and line spacing, shared by the layout and the drawn
// text so that the two always break and space lines alike.
namespace Typography {
// Inter Medium, shipped inside the app so lines break the same on every machine.
QFont scriptFont(double fontSize);
// Sizes are in points and points are the layout's pixels: text is shaped
// against this 72 dpi device, whatever the screen's DPI.
QPaintDevice *layoutDevice();
// The font's own line height: ascent + descent + leading, rounded up.
double naturalLineHeight(double fontSize);
// The extra space between lines for a line-height multiple; never negative.
double lineSpacing(double fontSize, double lineHeightMultiple);
} // namespace Typography

#pragma once

#include <QIcon>

// Orvell's mark: a black island hanging under a camera dot, on a light
// rounded square, drawn at any size (the tray, the window, the menu).
namespace AppIcon {
QIcon icon();
QPixmap pixmap(int size);
} // namespace AppIcon

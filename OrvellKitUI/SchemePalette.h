#pragma once

#include <QPalette>

// The windows' colours for a desktop that prefers dark or light: the
// library, its dialogs and menus follow the desktop's choice.
namespace SchemePalette {
QPalette dark();
QPalette light();
} // namespace SchemePalette

#include "commands/KeyCodes.h"

namespace {

// Codes are key positions on a US keyboard, as bindings have always been
// stored; keys are shown by the names Linux desktops print on them ("PgDown",
// not a symbol few fonts draw); keysyms are X's (the unshifted symbol).
constexpr ShortcutKey keys[] = {
    {49, "Space", "space", 0x20, Qt::Key_Space},
    {36, "Return", "Return", 0xff0d, Qt::Key_Return},
    {76, "Enter", "KP_Enter", 0xff8d, Qt::Key_Enter},
    {48, "Tab", "Tab", 0xff09, Qt::Key_Tab},
    {51, "Backspace", "BackSpace", 0xff08, Qt::Key_Backspace},
    {117, "Del", "Delete", 0xffff, Qt::Key_Delete},
    {53, "Esc", "Escape", 0xff1b, Qt::Key_Escape},
    {123, "\u2190", "Left", 0xff51, Qt::Key_Left},
    {124, "\u2192", "Right", 0xff53, Qt::Key_Right},
    {126, "\u2191", "Up", 0xff52, Qt::Key_Up},
    {125, "\u2193", "Down", 0xff54, Qt::Key_Down},
    {115, "Home", "Home", 0xff50, Qt::Key_Home},
    {119, "End", "End", 0xff57, Qt::Key_End},
    {116, "PgUp", "Page_Up", 0xff55, Qt::Key_PageUp},
    {121, "PgDown", "Page_Down", 0xff56, Qt::Key_PageDown},
    {114, "Help", "Help", 0xff6a, Qt::Key_Help},
    {122, "F1", "F1", 0xffbe, Qt::Key_F1},
    {120, "F2", "F2", 0xffbf, Qt::Key_F2},
    {99, "F3", "F3", 0xffc0, Qt::Key_F3},
    {118, "F4", "F4", 0xffc1, Qt::Key_F4},
    {96, "F5", "F5", 0xffc2, Qt::Key_F5},
    {97, "F6", "F6", 0xffc3, Qt::Key_F6},
    {98, "F7", "F7", 0xffc4, Qt::Key_F7},
    {100, "F8", "F8", 0xffc5, Qt::Key_F8},
    {101, "F9", "F9", 0xffc6, Qt::Key_F9},
    {109, "F10", "F10", 0xffc7, Qt::Key_F10},
    {103, "F11", "F11", 0xffc8, Qt::Key_F11},
    {111, "F12", "F12", 0xffc9, Qt::Key_F12},
    {105, "F13", "F13", 0xffca, Qt::Key_F13},
    {107, "F14", "F14", 0xffcb, Qt::Key_F14},
    {113, "F15", "F15", 0xffcc, Qt::Key_F15},
    {106, "F16", "F16", 0xffcd, Qt::Key_F16},
    {64, "F17", "F17", 0xffce, Qt::Key_F17},
    {79, "F18", "F18", 0xffcf, Qt::Key_F18},
    {80, "F19", "F19", 0xffd0, Qt::Key_F19},
    {90, "F20", "F20", 0xffd1, Qt::Key_F20},
    {0, "A", "a", 0x61, Qt::Key_A},
    {11, "B", "b", 0x62, Qt::Key_B},
    {8, "C", "c", 0x63, Qt::Key_C},
    {2, "D", "d", 0x64, Qt::Key_D},
    {14, "E", "e", 0x65, Qt::Key_E},
    {3, "F", "f", 0x66, Qt::Key_F},
    {5, "G", "g", 0x67, Qt::Key_G},
    {4, "H", "h", 0x68, Qt::Key_H},
    {34, "I", "i", 0x69, Qt::Key_I},
    {38, "J", "j", 0x6a, Qt::Key_J},
    {40, "K", "k", 0x6b, Qt::Key_K},
    {37, "L", "l", 0x6c, Qt::Key_L},
    {46, "M", "m", 0x6d, Qt::Key_M},
    {45, "N", "n", 0x6e, Qt::Key_N},
    {31, "O", "o", 0x6f, Qt::Key_O},
    {35, "P", "p", 0x70, Qt::Key_P},
    {12, "Q", "q", 0x71, Qt::Key_Q},
    {15, "R", "r", 0x72, Qt::Key_R},
    {1, "S", "s", 0x73, Qt::Key_S},
    {17, "T", "t", 0x74, Qt::Key_T},
    {32, "U", "u", 0x75, Qt::Key_U},
    {9, "V", "v", 0x76, Qt::Key_V},
    {13, "W", "w", 0x77, Qt::Key_W},
    {7, "X", "x", 0x78, Qt::Key_X},
    {16, "Y", "y", 0x79, Qt::Key_Y},
    {6, "Z", "z", 0x7a, Qt::Key_Z},
    {29, "0", "0", 0x30, Qt::Key_0},
    {18, "1", "1", 0x31, Qt::Key_1},
    {19, "2", "2", 0x32, Qt::Key_2},
    {20, "3", "3", 0x33, Qt::Key_3},
    {21, "4", "4", 0x34, Qt::Key_4},
    {23, "5", "5", 0x35, Qt::Key_5},
    {22, "6", "6", 0x36, Qt::Key_6},
    {26, "7", "7", 0x37, Qt::Key_7},
    {28, "8", "8", 0x38, Qt::Key_8},
    {25, "9", "9", 0x39, Qt::Key_9},
    {27, "-", "minus", 0x2d, Qt::Key_Minus},
    {24, "=", "equal", 0x3d, Qt::Key_Equal},
    {33, "[", "bracketleft", 0x5b, Qt::Key_BracketLeft},
    {30, "]", "bracketright", 0x5d, Qt::Key_BracketRight},
    {42, "\\", "backslash", 0x5c, Qt::Key_Backslash},
    {41, ";", "semicolon", 0x3b, Qt::Key_Semicolon},
    {39, "'", "apostrophe", 0x27, Qt::Key_Apostrophe},
    {43, ",", "comma", 0x2c, Qt::Key_Comma},
    {47, ".", "period", 0x2e, Qt::Key_Period},
    {44, "/", "slash", 0x2f, Qt::Key_Slash},
    {50, "`", "grave", 0x60, Qt::Key_QuoteLeft},
};

// The shifted symbols Qt reports name the key they are typed with.
constexpr std::pair<int, quint16> shiftedQtKeys[] = {
    {Qt::Key_Backtab, 48},     {Qt::Key_Underscore, 27}, {Qt::Key_Plus, 24},
    {Qt::Key_BraceLeft, 33},   {Qt::Key_BraceRight, 30}, {Qt::Key_Bar, 42},
    {Qt::Key_Colon, 41},       {Qt::Key_QuoteDbl, 39},   {Qt::Key_Less, 43},
    {Qt::Key_Greater, 47},     {Qt::Key_Question, 44},   {Qt::Key_AsciiTilde, 50},
    {Qt::Key_Exclam, 18},      {Qt::Key_At, 19},         {Qt::Key_NumberSign, 20},
    {Qt::Key_Dollar, 21},      {Qt::Key_Percent, 23},    {Qt::Key_AsciiCircum, 22},
    {Qt::Key_Ampersand, 26},   {Qt::Key_Asterisk, 28},   {Qt::Key_ParenLeft, 25},
    {Qt::Key_ParenRight, 29},
};

} // namespace

namespace KeyCodes {

const ShortcutKey *find(quint16 code) {
    for (const ShortcutKey &k : keys)
        if (k.code == code)
            return &k;
    return nullptr;
}

const ShortcutKey *fromQtKey(int qtKey) {
    for (const ShortcutKey &k : keys)
        if (k.qtKey == qtKey)
            return &k;
    for (const auto &[key, code] : shiftedQtKeys)
        if (key == qtKey)
            return find(code);
    return nullptr;
}

QString display(quint16 code) {
    const ShortcutKey *k = find(code);
    return k ? QString::fromUtf8(k->display) : QStringLiteral("Key %1").arg(code);
}

QString xkb(quint16 code) {
    const ShortcutKey *k = find(code);
    return k ? QString::fromLatin1(k->xkb) : QString();
}

} // namespace KeyCodes

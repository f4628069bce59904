#include "commands/HotKeyBinding.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace {

constexpr quint64 relevantModifiers = HotKeyBinding::commandKeys | HotKeyBinding::shift;

struct KeyName {
    quint16 code;
    const char *name;
};

constexpr KeyName keyNames[] = {
    {49, "Space"},   {36, "\u21A9"},  {76, "\u2324"},  {48, "\u21E5"},  {51, "\u232B"},
    {117, "\u2326"}, {53, "\u238B"},  {123, "\u2190"}, {124, "\u2192"}, {126, "\u2191"},
    {125, "\u2193"}, {115, "\u2196"}, {119, "\u2198"}, {116, "\u21DE"}, {121, "\u21DF"},
    {114, "Help"},   {122, "F1"},     {120, "F2"},     {99, "F3"},      {118, "F4"},
    {96, "F5"},      {97, "F6"},      {98, "F7"},      {100, "F8"},     {101, "F9"},
    {109, "F10"},    {103, "F11"},    {111, "F12"},    {105, "F13"},    {107, "F14"},
    {113, "F15"},    {106, "F16"},    {64, "F17"},     {79, "F18"},     {80, "F19"},
    {90, "F20"},     {0, "A"},        {11, "B"},       {8, "C"},        {2, "D"},
    {14, "E"},       {3, "F"},        {5, "G"},        {4, "H"},        {34, "I"},
    {38, "J"},       {40, "K"},       {37, "L"},       {46, "M"},       {45, "N"},
    {31, "O"},       {35, "P"},       {12, "Q"},       {15, "R"},       {1, "S"},
    {17, "T"},       {32, "U"},       {9, "V"},        {13, "W"},       {7, "X"},
    {16, "Y"},       {6, "Z"},        {29, "0"},       {18, "1"},       {19, "2"},
    {20, "3"},       {21, "4"},       {23, "5"},       {22, "6"},       {26, "7"},
    {28, "8"},       {25, "9"},       {27, "-"},       {24, "="},       {33, "["},
    {30, "]"},       {42, "\\"},      {41, ";"},       {39, "'"},       {43, ","},
    {47, "."},       {44, "/"},       {50, "`"},
};

} // namespace

HotKeyBinding HotKeyBinding::defaultFor(HotKeyAction action) {
    switch (action) {
    case HotKeyAction::playPause:
        return {49, commandKeys};
    case HotKeyAction::speedUp:
        return {126, commandKeys};
    case HotKeyAction::speedDown:
        return {125, commandKeys};
    case HotKeyAction::restart:
        return {15, commandKeys};
    case HotKeyAction::toggleIsland:
        return {17, commandKeys};
    case HotKeyAction::toggleControlDeck:
        return {40, commandKeys};
    case HotKeyAction::toggleVoiceFollow:
        break;
    }
    return {9, commandKeys};
}

HotKeyBinding HotKeyBinding::shiftVariant() const {
    return {keyCode, (modifierFlags & commandKeys) | shift};
}

std::vector<HotKeyBinding> HotKeyBinding::combinations(HotKeyAction action) const {
    if (HotKeyActions::supportsShift(action))
        return {*this, shiftVariant()};
    return {*this};
}

bool HotKeyBinding::sameCombination(const HotKeyBinding &other) const {
    return keyCode == other.keyCode &&
           (modifierFlags & relevantModifiers) == (other.modifierFlags & relevantModifiers);
}

namespace {

struct QtKey {
    int key;
    quint16 code;
};

constexpr QtKey qtKeys[] = {
    {Qt::Key_Space, 49},       {Qt::Key_Return, 36},    {Qt::Key_Enter, 76},
    {Qt::Key_Tab, 48},         {Qt::Key_Backtab, 48},   {Qt::Key_Backspace, 51},
    {Qt::Key_Delete, 117},     {Qt::Key_Escape, 53},    {Qt::Key_Left, 123},
    {Qt::Key_Right, 124},      {Qt::Key_Up, 126},       {Qt::Key_Down, 125},
    {Qt::Key_Home, 115},       {Qt::Key_End, 119},      {Qt::Key_PageUp, 116},
    {Qt::Key_PageDown, 121},   {Qt::Key_Help, 114},     {Qt::Key_Minus, 27},
    {Qt::Key_Underscore, 27},  {Qt::Key_Equal, 24},     {Qt::Key_Plus, 24},
    {Qt::Key_BracketLeft, 33}, {Qt::Key_BraceLeft, 33}, {Qt::Key_BracketRight, 30},
    {Qt::Key_BraceRight, 30},  {Qt::Key_Backslash, 42}, {Qt::Key_Bar, 42},
    {Qt::Key_Semicolon, 41},   {Qt::Key_Colon, 41},     {Qt::Key_Apostrophe, 39},
    {Qt::Key_QuoteDbl, 39},    {Qt::Key_Comma, 43},     {Qt::Key_Less, 43},
    {Qt::Key_Period, 47},      {Qt::Key_Greater, 47},   {Qt::Key_Slash, 44},
    {Qt::Key_Question, 44},    {Qt::Key_QuoteLeft, 50}, {Qt::Key_AsciiTilde, 50},
    {Qt::Key_Exclam, 18},      {Qt::Key_At, 19},        {Qt::Key_NumberSign, 20},
    {Qt::Key_Dollar, 21},      {Qt::Key_Percent, 23},   {Qt::Key_AsciiCircum, 22},
    {Qt::Key_Ampersand, 26},   {Qt::Key_Asterisk, 28},  {Qt::Key_ParenLeft, 25},
    {Qt::Key_ParenRight, 29},
};

constexpr quint16 letterCodes[] = {0,  11, 8,  2,  14, 3, 5,  4,  34, 38, 40, 37, 46,
                                   45, 31, 35, 12, 15, 1, 17, 32, 9,  13, 7,  16, 6};
constexpr quint16 digitCodes[] = {29, 18, 19, 20, 21, 23, 22, 26, 28, 25};
constexpr quint16 functionCodes[] = {122, 120, 99,  118, 96,  97,  98, 100, 101, 109,
                                     103, 111, 105, 107, 113, 106, 64, 79,  80,  90};

} // namespace

std::optional<HotKeyBinding> HotKeyBinding::fromQt(int qtKey, Qt::KeyboardModifiers modifiers) {
    std::optional<quint16> code;
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        code = letterCodes[qtKey - Qt::Key_A];
    else if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        code = digitCodes[qtKey - Qt::Key_0];
    else if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F20)
        code = functionCodes[qtKey - Qt::Key_F1];
    else
        for (const QtKey &k : qtKeys)
            if (k.key == qtKey)
                code = k.code;
    if (!code)
        return std::nullopt;
    quint64 flags = 0;
    if (modifiers & Qt::ShiftModifier)
        flags |= shift;
    if (modifiers & Qt::ControlModifier)
        flags |= control;
    if (modifiers & Qt::AltModifier)
        flags |= option;
    if (modifiers & Qt::MetaModifier)
        flags |= command;
    return HotKeyBinding{*code, flags};
}

QString HotKeyBinding::keyName(quint16 code) {
    for (const KeyName &k : keyNames) {
        if (k.code == code)
            return QString::fromUtf8(k.name);
    }
    return QStringLiteral("Key %1").arg(code);
}

QString HotKeyBinding::displayString() const {
    QStringList parts;
    if (modifierFlags & control)
        parts << QStringLiteral("Ctrl");
    if (modifierFlags & option)
        parts << QStringLiteral("Alt");
    if (modifierFlags & shift)
        parts << QStringLiteral("Shift");
    if (modifierFlags & command)
        parts << QStringLiteral("Super");
    parts << keyName(keyCode);
    return parts.join(QLatin1Char('+'));
}

QByteArray HotKeyBinding::encode(const std::map<HotKeyAction, HotKeyBinding> &bindings) {
    QJsonObject root;
    for (const auto &[action, b] : bindings)
        root.insert(
            HotKeyActions::rawValue(action),
            QJsonObject{{QStringLiteral("keyCode"), b.keyCode},
                        {QStringLiteral("modifierFlags"), static_cast<double>(b.modifierFlags)}});
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

std::map<HotKeyAction, HotKeyBinding> HotKeyBinding::decode(const QByteArray &json) {
    const QJsonDocument doc = QJsonDocument::fromJson(json);
    if (!doc.isObject())
        return {};
    const auto isWhole = [](const QJsonValue &v, double max) {
        const double d = v.toDouble(-1);
        return v.isDouble() && d >= 0 && d <= max && d == std::floor(d);
    };
    std::map<HotKeyAction, HotKeyBinding> bindings;
    const QJsonObject root = doc.object();
    for (auto it = root.begin(); it != root.end(); ++it) {
        const QJsonObject o = it.value().toObject();
        const QJsonValue code = o.value(QStringLiteral("keyCode"));
        const QJsonValue flags = o.value(QStringLiteral("modifierFlags"));
        // The whole value is unreadable when any binding in it is.
        if (!it.value().isObject() || !isWhole(code, 65535) || !isWhole(flags, 9007199254740992.0))
            return {};
        if (const auto action = HotKeyActions::fromRawValue(it.key()))
            bindings[*action] = {static_cast<quint16>(code.toInt()),
                                 static_cast<quint64>(flags.toDouble())};
    }
    return bindings;
}

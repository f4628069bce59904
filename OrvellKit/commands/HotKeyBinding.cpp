#include "commands/HotKeyBinding.h"

#include "commands/KeyCodes.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace {

constexpr quint64 relevantModifiers = HotKeyBinding::commandKeys | HotKeyBinding::shift;

} // namespace

HotKeyBinding HotKeyBinding::defaultFor(HotKeyAction action) {
    switch (action) {
    case HotKeyAction::playPause:
        return {49, commandKeys};
    case HotKeyAction::speedUp:
        return {126, commandKeys};
    case HotKeyAction::speedDown:
        return {125, commandKeys};
    case HotKeyAction::speedUpMore:
        return {126, commandKeys | shift};
    case HotKeyAction::speedDownMore:
        return {125, commandKeys | shift};
    case HotKeyAction::restart:
        return {15, commandKeys};
    case HotKeyAction::toggleIsland:
        return {17, commandKeys};
    case HotKeyAction::toggleControlDeck:
        return {40, commandKeys};
    case HotKeyAction::nextSection:
        return {121, commandKeys}; // Page Down
    case HotKeyAction::previousSection:
        return {116, commandKeys}; // Page Up
    case HotKeyAction::toggleVoiceFollow:
        break;
    }
    return {9, commandKeys};
}

bool HotKeyBinding::sameCombination(const HotKeyBinding &other) const {
    return keyCode == other.keyCode &&
           (modifierFlags & relevantModifiers) == (other.modifierFlags & relevantModifiers);
}

std::optional<HotKeyBinding> HotKeyBinding::fromQt(int qtKey, Qt::KeyboardModifiers modifiers) {
    const ShortcutKey *key = KeyCodes::fromQtKey(qtKey);
    if (!key)
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
    return HotKeyBinding{key->code, flags};
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
    parts << KeyCodes::display(keyCode);
    return parts.join(QLatin1Char('+'));
}

QByteArray HotKeyBinding::encode(const std::map<HotKeyAction, HotKeyBinding> &bindings) {
    QJsonObject root;
    for (const auto &[action, b] : bindings)
        root.insert(
            HotKeyActions::names.name(action),
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
        if (const auto action = HotKeyActions::names.parse(it.key()))
            bindings[*action] = {static_cast<quint16>(code.toInt()),
                                 static_cast<quint64>(flags.toDouble())};
    }
    return bindings;
}

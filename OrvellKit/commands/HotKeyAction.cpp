#include "commands/HotKeyAction.h"

namespace HotKeyActions {

namespace {
struct Names {
    HotKeyAction action;
    const char *raw;
    const char *title;
};

constexpr Names names[] = {
    {HotKeyAction::playPause, "playPause", "Play / Pause"},
    {HotKeyAction::speedUp, "speedUp", "Speed Up"},
    {HotKeyAction::speedDown, "speedDown", "Speed Down"},
    {HotKeyAction::restart, "restart", "Restart Script"},
    {HotKeyAction::toggleIsland, "toggleIsland", "Show / Hide Island"},
    {HotKeyAction::toggleControlDeck, "toggleControlDeck", "Show / Hide Controls"},
    {HotKeyAction::toggleVoiceFollow, "toggleVoiceFollow", "Voice Follow On / Off"},
};

const Names &namesOf(HotKeyAction action) {
    return names[static_cast<int>(action)];
}
} // namespace

QList<HotKeyAction> allCases() {
    QList<HotKeyAction> all;
    for (const Names &n : names)
        all << n.action;
    return all;
}

QString rawValue(HotKeyAction action) {
    return QLatin1StringView(namesOf(action).raw);
}

std::optional<HotKeyAction> fromRawValue(const QString &name) {
    for (const Names &n : names) {
        if (name == QLatin1StringView(n.raw))
            return n.action;
    }
    return std::nullopt;
}

QString title(HotKeyAction action) {
    return QLatin1StringView(namesOf(action).title);
}

bool supportsShift(HotKeyAction action) {
    return action == HotKeyAction::speedUp || action == HotKeyAction::speedDown;
}

QString busMethod(HotKeyAction action) {
    QString name = rawValue(action);
    if (!name.isEmpty())
        name[0] = name[0].toUpper();
    return name;
}

} // namespace HotKeyActions

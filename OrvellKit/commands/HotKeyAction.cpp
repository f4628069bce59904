#include "commands/HotKeyAction.h"

namespace HotKeyActions {

bool supportsShift(HotKeyAction action) {
    return action == HotKeyAction::speedUp || action == HotKeyAction::speedDown;
}

QString busMethod(HotKeyAction action) {
    QString name = names.name(action);
    if (!name.isEmpty())
        name[0] = name[0].toUpper();
    return name;
}

} // namespace HotKeyActions

#include "commands/HotKeyAction.h"

namespace HotKeyActions {

QString busMethod(HotKeyAction action) {
    QString name = names.name(action);
    if (!name.isEmpty())
        name[0] = name[0].toUpper();
    return name;
}

} // namespace HotKeyActions

#include "base/AppPaths.h"

#include "base/AppIdentity.h"

#include <QStandardPaths>

namespace AppPaths {

QString applicationSupportRoot() {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        return QString();
    return base + QLatin1Char('/') + AppIdentity::appId;
}

} // namespace AppPaths

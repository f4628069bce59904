#include "island/IslandPlacement.h"

QString IslandPlacement::name() const {
    switch (kind) {
    case Kind::topLeading:
        return QStringLiteral("topLeading");
    case Kind::topTrailing:
        return QStringLiteral("topTrailing");
    case Kind::free:
        return QStringLiteral("free");
    case Kind::topCenter:
        break;
    }
    return QStringLiteral("topCenter");
}

IslandPlacement IslandPlacement::preset(const QString &name) {
    if (name == QLatin1StringView("topLeading"))
        return topLeading();
    if (name == QLatin1StringView("topTrailing"))
        return topTrailing();
    return topCenter();
}

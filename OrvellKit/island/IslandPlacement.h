#pragma once

#include <QString>

// Where the island's body sits on its display. Only topCenter covers the camera.
struct IslandPlacement {
    enum class Kind { topLeading, topCenter, topTrailing, free };

    Kind kind = Kind::topCenter;
    // For free: from the display's left edge to the body's left edge, and from
    // the display's top edge down to the body's top edge.
    double x = 0;
    double y = 0;

    static IslandPlacement topLeading() { return {Kind::topLeading}; }
    static IslandPlacement topCenter() { return {Kind::topCenter}; }
    static IslandPlacement topTrailing() { return {Kind::topTrailing}; }
    static IslandPlacement free(double x, double y) { return {Kind::free, x, y}; }

    // "topLeading", "topCenter", "topTrailing" or "free": the stored names.
    QString name() const;
    // The preset of that name; anything else (including "free") gives topCenter.
    static IslandPlacement preset(const QString &name);

    bool operator==(const IslandPlacement &o) const {
        return kind == o.kind && (kind != Kind::free || (x == o.x && y == o.y));
    }
};

#pragma once

#include <QRectF>
#include <QString>
#include <QStringList>

#include <optional>

// What the island needs to know about one display, in global desktop
// coordinates (logical pixels, y growing downwards). The platform layer fills
// it in; the geometry code never asks the windowing system itself.
struct ScreenFacts {
    QString name;        // the output's name, e.g. "eDP-1"
    QRectF frame;        // the whole display
    QRectF visibleFrame; // without the desktop's panels
    double statusBarThickness = 24;
    // The strips of the top edge left and right of a camera housing; empty
    // when the display reports none (every display on today's Linux desktops).
    QRectF auxiliaryTopLeftArea;
    QRectF auxiliaryTopRightArea;
    double safeAreaTopInset = 0;
    bool isBuiltIn = false;
    // What the display says it is (from its EDID), where the platform reports it.
    QString manufacturer, model, serial;

    // The output's name, manufacturer, model and serial: stable across
    // plugging and changes of the primary display, unlike a list position.
    QString identity() const {
        return name + QLatin1Char('|') + manufacturer + QLatin1Char('|') + model +
               QLatin1Char('|') + serial;
    }
    // A display as an identity describes it (name, maker, model, serial);
    // nothing when the text is not one.
    static std::optional<ScreenFacts> fromIdentity(const QString &identity) {
        const QStringList parts = identity.split(QLatin1Char('|'));
        if (parts.size() != 4)
            return std::nullopt;
        ScreenFacts f;
        f.name = parts[0];
        f.manufacturer = parts[1];
        f.model = parts[2];
        f.serial = parts[3];
        return f;
    }
    // How the settings name it: the model where known, with the output.
    QString title() const {
        const QString product = (manufacturer + QLatin1Char(' ') + model).trimmed();
        return product.isEmpty() ? name : product + QStringLiteral(" (") + name + QLatin1Char(')');
    }
};

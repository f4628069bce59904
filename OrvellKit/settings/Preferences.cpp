#include "settings/Preferences.h"

#include "base/Metrics.h"
#include "settings/Autostart.h"
#include "settings/PreferenceKeys.h"
#include "settings/SettingsStore.h"

#include <QLoggingCategory>

#include <cmath>

Q_LOGGING_CATEGORY(lcPreferences, "org.orvell.Orvell.Preferences")

namespace K = PreferenceKeys;

Preferences::Preferences(SettingsStore &store, Autostart &autostart, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_autostart(autostart)
    , m_reading(store) {
    m_store.registerDefaults({{K::notchCoverHeight, Metrics::notchCoverHeight},
                              {K::islandWidth, Metrics::panelWidth},
                              {K::targetDisplay, QStringLiteral("builtIn")},
                              {K::aboveFullScreen, false},
                              {K::showInTaskbar, true},
                              {K::islandPlacement, QStringLiteral("topCenter")},
                              {K::islandFreeX, 0.0},
                              {K::islandFreeY, 0.0}});
    using Signal = void (Preferences::*)();
    static const std::pair<QLatin1StringView, Signal> signalForKey[] = {
        {K::notchCoverHeight, &Preferences::notchCoverHeightChanged},
        {K::islandWidth, &Preferences::islandWidthChanged},
        {K::targetDisplay, &Preferences::targetDisplayChanged},
        {K::voiceFollowMicrophone, &Preferences::microphoneChanged},
        {K::aboveFullScreen, &Preferences::aboveFullScreenChanged},
        {K::showInTaskbar, &Preferences::showInTaskbarChanged},
        {K::islandPlacement, &Preferences::islandPlacementChanged},
        {K::islandFreeX, &Preferences::islandPlacementChanged},
        {K::islandFreeY, &Preferences::islandPlacementChanged},
        {K::hotKeyBindings, &Preferences::hotKeyBindingsChanged},
    };
    m_store.relayChanges(this, signalForKey);
}

// Read back as the setters write: the file may have been edited by hand.
double Preferences::notchCoverHeight() const {
    return SettingsStore::clamped(m_store.doubleValue(K::notchCoverHeight), notchCoverHeightMin,
                                  notchCoverHeightMax);
}
void Preferences::setNotchCoverHeight(double value) {
    m_store.setValue(K::notchCoverHeight,
                     SettingsStore::clamped(value, notchCoverHeightMin, notchCoverHeightMax));
}

double Preferences::islandWidth() const {
    return SettingsStore::clamped(m_store.doubleValue(K::islandWidth), islandWidthMin,
                                  islandWidthMax);
}
void Preferences::setIslandWidth(double value) {
    m_store.setValue(K::islandWidth, SettingsStore::clamped(value, islandWidthMin, islandWidthMax));
}

QString Preferences::microphone() const {
    return m_store.stringValue(K::voiceFollowMicrophone);
}

void Preferences::setMicrophone(const QString &deviceId) {
    m_store.setValue(K::voiceFollowMicrophone, deviceId);
}

QString Preferences::targetDisplay() const {
    return m_store.stringValue(K::targetDisplay);
}
void Preferences::setTargetDisplay(const QString &value) {
    m_store.setValue(K::targetDisplay, value);
}

bool Preferences::aboveFullScreen() const {
    return m_store.boolValue(K::aboveFullScreen);
}
void Preferences::setAboveFullScreen(bool value) {
    m_store.setValue(K::aboveFullScreen, value);
}

bool Preferences::showInTaskbar() const {
    return m_store.boolValue(K::showInTaskbar);
}
void Preferences::setShowInTaskbar(bool value) {
    m_store.setValue(K::showInTaskbar, value);
}

IslandPlacement Preferences::islandPlacement() const {
    const QString name = m_store.hasStoredValue(K::islandPlacement)
                             ? m_store.stringValue(K::islandPlacement)
                             : QStringLiteral("topCenter");
    if (name == QLatin1StringView("free")) {
        const double x = m_store.doubleValue(K::islandFreeX);
        const double y = m_store.doubleValue(K::islandFreeY);
        return std::isfinite(x) && std::isfinite(y) ? IslandPlacement::free(x, y)
                                                    : IslandPlacement::topCenter();
    }
    return IslandPlacement::preset(name);
}

void Preferences::setIslandPlacement(const IslandPlacement &placement) {
    if (placement.kind == IslandPlacement::Kind::free) {
        const auto stored = [](double v) { return std::isfinite(v) ? QVariant(v) : QVariant(0); };
        m_store.setValue(K::islandFreeX, stored(placement.x));
        m_store.setValue(K::islandFreeY, stored(placement.y));
    }
    m_store.setValue(K::islandPlacement, placement.name());
}

void Preferences::selectPlacement(const QString &name) {
    if (name == QLatin1StringView("free"))
        return;
    setIslandPlacement(IslandPlacement::preset(name));
}

void Preferences::placeIsland(double x, double y, double centeredX) {
    if (std::fabs(x - centeredX) < snapDistance && y < snapDistance)
        setIslandPlacement(IslandPlacement::topCenter());
    else
        setIslandPlacement(IslandPlacement::free(x, y));
}

void Preferences::resetAppearance() {
    m_reading.resetTypography();
    setNotchCoverHeight(Metrics::notchCoverHeight);
    setIslandWidth(Metrics::panelWidth);
}

QByteArray Preferences::hotKeyBindings() const {
    return m_store.dataValue(K::hotKeyBindings);
}
void Preferences::setHotKeyBindings(const QByteArray &json) {
    m_store.setValue(K::hotKeyBindings, json);
}

bool Preferences::launchAtLogin() const {
    return m_autostart.isEnabled();
}

void Preferences::setLaunchAtLogin(bool enabled) {
    QString error;
    if (!m_autostart.setEnabled(enabled, &error)) {
        qCWarning(lcPreferences).noquote()
            << QStringLiteral("launchAtLogin %1 failed: %2")
                   .arg(enabled ? QStringLiteral("true") : QStringLiteral("false"), error);
        m_launchAtLoginProblem =
            (enabled ? QStringLiteral("Orvell could not be set to start at login: ")
                     : QStringLiteral("Orvell could not stop starting at login: ")) +
            error;
        // The toggle goes back to what is true.
        emit launchAtLoginChanged();
        return;
    }
    m_launchAtLoginProblem.clear();
    emit launchAtLoginChanged();
}

#pragma once

#include "island/IslandPlacement.h"
#include "settings/ReadingPreferences.h"

#include <QByteArray>
#include <QObject>
#include <QString>

class Autostart;
class SettingsStore;

// The window and shell settings, plus the reading ones as `reading`. Like
// ReadingPreferences it caches nothing.
class Preferences : public QObject {
    Q_OBJECT
    Q_PROPERTY(double notchCoverHeight READ notchCoverHeight WRITE setNotchCoverHeight NOTIFY
                   notchCoverHeightChanged)
    Q_PROPERTY(double islandWidth READ islandWidth WRITE setIslandWidth NOTIFY islandWidthChanged)
    Q_PROPERTY(
        QString targetDisplay READ targetDisplay WRITE setTargetDisplay NOTIFY targetDisplayChanged)
    Q_PROPERTY(bool aboveFullScreen READ aboveFullScreen WRITE setAboveFullScreen NOTIFY
                   aboveFullScreenChanged)
    Q_PROPERTY(bool showInTaskbar READ showInTaskbar WRITE setShowInTaskbar NOTIFY showInTaskbarChanged)
    Q_PROPERTY(QString islandPlacementName READ islandPlacementName NOTIFY islandPlacementChanged)
    Q_PROPERTY(
        bool launchAtLogin READ launchAtLogin WRITE setLaunchAtLogin NOTIFY launchAtLoginChanged)

public:
    static constexpr double notchCoverHeightMin = 32, notchCoverHeightMax = 120;
    static constexpr double islandWidthMin = 280, islandWidthMax = 900;
    // A drag that ends this close to top centre snaps back to it.
    static constexpr double snapDistance = 8;

    Preferences(SettingsStore &store, Autostart &autostart, QObject *parent = nullptr);

    ReadingPreferences &reading() { return m_reading; }
    const ReadingPreferences &reading() const { return m_reading; }
    SettingsStore &store() const { return m_store; }

    double notchCoverHeight() const;
    void setNotchCoverHeight(double value);
    double islandWidth() const;
    void setIslandWidth(double value);
    QString targetDisplay() const;
    void setTargetDisplay(const QString &value);
    bool aboveFullScreen() const;
    void setAboveFullScreen(bool value);
    bool showInTaskbar() const;
    void setShowInTaskbar(bool value);

    IslandPlacement islandPlacement() const;
    void setIslandPlacement(const IslandPlacement &placement);
    QString islandPlacementName() const { return islandPlacement().name(); }
    // For the placement picker: "free" is ignored, unknown names give topCenter.
    void selectPlacement(const QString &name);
    // Where a drag ended; close enough to top centre snaps to it.
    void placeIsland(double x, double y, double centeredX);

    void resetAppearance();

    // The raw stored shortcut bindings (JSON); empty when none are stored.
    QByteArray hotKeyBindings() const;
    void setHotKeyBindings(const QByteArray &json);

    bool launchAtLogin() const;
    // A failure is logged, the state stays as it was and the problem says why.
    void setLaunchAtLogin(bool enabled);
    QString launchAtLoginProblem() const { return m_launchAtLoginProblem; }

    // The sound server's id of the microphone voice follow listens to;
    // empty for the system default.
    QString microphone() const;
    void setMicrophone(const QString &deviceId);

signals:
    void notchCoverHeightChanged();
    void islandWidthChanged();
    void targetDisplayChanged();
    void aboveFullScreenChanged();
    void showInTaskbarChanged();
    void islandPlacementChanged();
    void hotKeyBindingsChanged();
    void launchAtLoginChanged();
    void microphoneChanged();

private:
    SettingsStore &m_store;
    Autostart &m_autostart;
    ReadingPreferences m_reading;
    QString m_launchAtLoginProblem;
};

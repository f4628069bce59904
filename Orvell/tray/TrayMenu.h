#pragma once

#include "commands/HotKeyAction.h"

#include <QDBusConnection>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QUuid>

#include <functional>
#include <optional>

class AppEnvironment;
class QAction;
class QMenu;
class QSystemTrayIcon;
class StatusNotifierItem;

// The tray item and its menu: play and restart, the panel toggles, the
// scripts, the library, the settings and quitting. Titles, shortcuts and the
// scripts are read afresh each time the menu opens. Where the desktop has no
// tray, the same menu rides on the control deck instead.
//
// The item is a StatusNotifierItem where the desktop hosts those (followed
// for as long as Orvell runs, so a panel that starts late still shows it),
// else Qt's tray icon for the older system trays.
class TrayMenu : public QObject {
    Q_OBJECT

public:
    explicit TrayMenu(AppEnvironment &env, QDBusConnection bus = QDBusConnection::sessionBus(),
                      QObject *parent = nullptr);
    ~TrayMenu() override;

    QMenu *menu() const { return m_menu; }
    QSystemTrayIcon *trayIcon() const { return m_tray; }
    StatusNotifierItem *statusNotifierItem() const { return m_item; }

    // Shows the tray item where a tray host is there; false where none is.
    bool showInTray();
    // What opening the menu does; public for tests.
    void refresh();
    QMenu *sectionsMenu() const { return m_sections; }
    // Opens the menu at a place the tray gave, beside the panel that holds
    // the tray rather than over it.
    void popupAt(const QPoint &at);
    // Where a menu of this size opens for a click at `at`, given the part
    // of the screen that panels leave free: against the panel's edge when
    // the click is on a panel, else at the click on the side with room.
    static QPoint menuPlace(const QPoint &at, const QSize &size, const QRect &free);

signals:
    // The windows and quitting belong to the application.
    void libraryRequested();
    void settingsRequested();
    void quitRequested();
    // A tray host came or went: whether the menu is in the tray may have changed.
    void trayChanged();

private:
    void refreshSections();
    // What a menu item for a command does.
    std::function<void()> command(HotKeyAction action);
    QString withShortcut(const QString &title, HotKeyAction action) const;

    AppEnvironment &m_env;
    QMenu *m_menu = nullptr;
    QMenu *m_scripts = nullptr;
    QMenu *m_sections = nullptr;
    QSystemTrayIcon *m_tray = nullptr;
    StatusNotifierItem *m_item = nullptr;
    QAction *m_play = nullptr;
    QAction *m_restart = nullptr;
    QAction *m_deck = nullptr;
    QAction *m_island = nullptr;
    QAction *m_shortcuts = nullptr;
    QAction *m_unsaved = nullptr;
    QAction *m_unsavedSeparator = nullptr;
};

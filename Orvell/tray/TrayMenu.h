#pragma once

#include "commands/HotKeyAction.h"

#include <QObject>
#include <QUuid>

#include <optional>

class AppEnvironment;
class QAction;
class QMenu;
class QSystemTrayIcon;

// The tray item and its menu: play and restart, the panel toggles, the
// scripts, the library, the settings and quitting. Titles, shortcuts and the
// scripts are read afresh each time the menu opens. Where the desktop has no
// tray, the same menu rides on the control deck instead.
class TrayMenu : public QObject {
    Q_OBJECT

public:
    explicit TrayMenu(AppEnvironment &env, QObject *parent = nullptr);
    ~TrayMenu() override;

    QMenu *menu() const { return m_menu; }
    QSystemTrayIcon *trayIcon() const { return m_tray; }

    // Shows the tray item where a tray host is there; false where none is.
    bool showInTray();
    void hideFromTray();
    // What opening the menu does; public for tests.
    void refresh();

signals:
    // The windows and quitting belong to the application.
    void libraryRequested();
    void settingsRequested();
    void quitRequested();

private:
    QString withShortcut(const QString &title, HotKeyAction action) const;

    AppEnvironment &m_env;
    QMenu *m_menu = nullptr;
    QMenu *m_scripts = nullptr;
    QSystemTrayIcon *m_tray = nullptr;
    QAction *m_play = nullptr;
    QAction *m_restart = nullptr;
    QAction *m_deck = nullptr;
    QAction *m_island = nullptr;
    QAction *m_shortcuts = nullptr;
    QAction *m_unsaved = nullptr;
    QAction *m_unsavedSeparator = nullptr;
};

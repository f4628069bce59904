#include "Orvell/tray/TrayMenu.h"

#include "Orvell/core/AppEnvironment.h"
#include "OrvellKitUI/AppIcon.h"
#include "Platform/tray/StatusNotifierItem.h"

#include <QMenu>
#include <QSystemTrayIcon>

TrayMenu::TrayMenu(AppEnvironment &env, QDBusConnection bus, QObject *parent)
    : QObject(parent)
    , m_env(env) {
    m_menu = new QMenu;
    m_menu->setAccessibleName(QStringLiteral("Orvell"));
    // First in the menu while a save is pending, so it is seen.
    m_unsaved = m_menu->addAction(
        QStringLiteral("\u26A0 Changes not saved \u2014 Show Library\u2026"), this,
        &TrayMenu::libraryRequested);
    m_unsavedSeparator = m_menu->addSeparator();
    const auto command = [this](HotKeyAction action) {
        return [this, action] { m_env.commands().handle(action); };
    };
    m_play = m_menu->addAction(QStringLiteral("Play"), this, command(HotKeyAction::playPause));
    m_restart = m_menu->addAction(QStringLiteral("Restart"), this, command(HotKeyAction::restart));
    m_menu->addSeparator();
    m_deck = m_menu->addAction(QStringLiteral("Show Controls"), this,
                               command(HotKeyAction::toggleControlDeck));
    m_island =
        m_menu->addAction(QStringLiteral("Show Island"), this, command(HotKeyAction::toggleIsland));
    m_menu->addSeparator();
    m_scripts = m_menu->addMenu(QStringLiteral("Scripts"));
    m_menu->addAction(QStringLiteral("Library\u2026"), this, &TrayMenu::libraryRequested);
    m_menu->addSeparator();
    m_menu->addAction(QStringLiteral("Settings\u2026"), this, &TrayMenu::settingsRequested);
    // Says how the shortcuts shown above reach Orvell on this desktop.
    m_shortcuts = m_menu->addAction(QString());
    m_shortcuts->setEnabled(false);
    m_menu->addSeparator();
    // Through the normal way out, so pending saves are written.
    m_menu->addAction(QStringLiteral("Quit Orvell"), this, &TrayMenu::quitRequested);
    connect(m_menu, &QMenu::aboutToShow, this, &TrayMenu::refresh);
    connect(&env.store(), &ScriptStore::saveProblemChanged, this, &TrayMenu::refresh);

    if (bus.isConnected()) {
        m_item = new StatusNotifierItem(bus, this);
        m_item->setTitle(QStringLiteral("Orvell"));
        std::vector<QImage> icons;
        for (int size : {16, 22, 24, 32, 48, 64})
            icons.push_back(AppIcon::pixmap(size).toImage());
        m_item->setIcons(icons);
        connect(m_item, &StatusNotifierItem::menuRequested, this, &TrayMenu::popupAt);
        connect(m_item, &StatusNotifierItem::shownChanged, this, &TrayMenu::trayChanged);
    }
    refresh();
}

TrayMenu::~TrayMenu() {
    delete m_tray;
    delete m_menu;
}

QString TrayMenu::withShortcut(const QString &title, HotKeyAction action) const {
    const QString keys = m_env.shortcutRegistry().binding(action).displayString();
    // A menu shows what follows a tab in its shortcut column.
    return keys.isEmpty() ? title : title + QLatin1Char('\t') + keys;
}

void TrayMenu::refresh() {
    const QString problem = m_env.store().saveProblem();
    m_unsaved->setVisible(!problem.isEmpty());
    m_unsavedSeparator->setVisible(!problem.isEmpty());
    m_unsaved->setToolTip(problem);
    const QString tip = problem.isEmpty() ? QStringLiteral("Orvell") : problem;
    if (m_tray)
        m_tray->setToolTip(tip);
    if (m_item)
        m_item->setToolTip(problem);
    const QString mechanism = m_env.shortcuts().mechanism();
    m_shortcuts->setText(
        QStringLiteral("Shortcuts: ") +
        (mechanism.isEmpty() ? QStringLiteral("none on this desktop") : mechanism));
    m_play->setText(
        withShortcut(m_env.scroll().isPlaying() ? QStringLiteral("Pause") : QStringLiteral("Play"),
                     HotKeyAction::playPause));
    m_restart->setText(withShortcut(QStringLiteral("Restart"), HotKeyAction::restart));
    const bool deck = m_env.panels().isControlDeckVisible();
    m_deck->setText(
        withShortcut(deck ? QStringLiteral("Hide Controls") : QStringLiteral("Show Controls"),
                     HotKeyAction::toggleControlDeck));
    const bool island = m_env.panels().isIslandVisible();
    m_island->setText(
        withShortcut(island ? QStringLiteral("Hide Island") : QStringLiteral("Show Island"),
                     HotKeyAction::toggleIsland));

    m_scripts->clear();
    const auto &scripts = m_env.store().scripts();
    if (scripts.empty()) {
        m_scripts->addAction(QStringLiteral("No Scripts"))->setEnabled(false);
        return;
    }
    const auto selected = m_env.store().selectedID();
    for (const Script &s : scripts) {
        QAction *item = m_scripts->addAction(s.title);
        item->setCheckable(true);
        item->setChecked(selected == s.id);
        const QUuid scriptId = s.id;
        connect(item, &QAction::triggered, this,
                [this, scriptId] { m_env.store().select(scriptId); });
    }
}

bool TrayMenu::showInTray() {
    if (m_item && m_item->isShown()) {
        if (m_tray)
            m_tray->hide();
        return true;
    }
    // Qt decides once whether its tray speaks to a StatusNotifierItem host;
    // asked only while there is none, it settles on the older system tray
    // and never puts a second item beside this one.
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        if (m_tray)
            m_tray->hide();
        return false;
    }
    if (!m_tray) {
        m_tray = new QSystemTrayIcon(AppIcon::icon());
        m_tray->setContextMenu(m_menu);
        refresh();
        // A left click opens the same menu, by the icon.
        connect(m_tray, &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    if (reason != QSystemTrayIcon::Trigger)
                        return;
                    const QRect icon = m_tray->geometry();
                    popupAt(icon.isValid() ? icon.bottomLeft() : QCursor::pos());
                });
    }
    m_tray->show();
    return true;
}

void TrayMenu::popupAt(const QPoint &at) {
    if (m_menu->isVisible()) {
        m_menu->hide();
        return;
    }
    // QMenu flips to the side with room: above a bottom panel, below a top one.
    m_menu->popup(at);
}

#include "Orvell/tray/TrayMenu.h"

#include "Orvell/core/AppEnvironment.h"
#include "OrvellKitUI/AppIcon.h"
#include "base/IsoDate.h"
#include "reading/ScriptViewportModel.h"
#include "library/LibraryFilter.h"
#include "settings/PreferenceKeys.h"
#include "Platform/tray/DBusMenu.h"
#include "Platform/tray/StatusNotifierItem.h"

#include <QGuiApplication>
#include <QFontMetrics>
#include <QMenu>
#include <QScreen>

#include <algorithm>

namespace {

// An item whose title fits the menu: a long one is shortened, and whole in
// its tooltip.
QAction *addTitled(QMenu *menu, const QString &prefix, const QString &title) {
    const QString shown = QFontMetrics(menu->font()).elidedText(title, Qt::ElideRight, 360);
    QAction *item = menu->addAction(prefix + shown);
    if (shown != title)
        item->setToolTip(title);
    return item;
}

// The menu as a tray host draws it: the same actions, read as they are now.
std::vector<DBusMenu::Entry> entriesOf(const QMenu *menu) {
    std::vector<DBusMenu::Entry> out;
    for (const QAction *a : menu->actions()) {
        DBusMenu::Entry e;
        e.label = a->text();
        e.separator = a->isSeparator();
        e.enabled = a->isEnabled();
        e.visible = a->isVisible();
        e.checkable = a->isCheckable();
        e.checked = a->isChecked();
        if (a->menu())
            e.children = entriesOf(a->menu());
        out.push_back(std::move(e));
    }
    return out;
}

QAction *actionAt(const QMenu *menu, const std::vector<int> &where) {
    QAction *found = nullptr;
    for (int index : where) {
        if (!menu || index < 0 || index >= menu->actions().size())
            return nullptr;
        found = menu->actions().at(index);
        menu = found->menu();
    }
    return found;
}

} // namespace
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
    m_play = m_menu->addAction(QStringLiteral("Play"), this, command(HotKeyAction::playPause));
    m_restart = m_menu->addAction(QStringLiteral("Restart"), this, command(HotKeyAction::restart));
    m_sections = m_menu->addMenu(QStringLiteral("Sections"));
    m_sections->setToolTipsVisible(true);
    m_menu->addSeparator();
    m_deck = m_menu->addAction(QStringLiteral("Show Controls"), this,
                               command(HotKeyAction::toggleControlDeck));
    m_island =
        m_menu->addAction(QStringLiteral("Show Island"), this, command(HotKeyAction::toggleIsland));
    m_menu->addSeparator();
    m_scripts = m_menu->addMenu(QStringLiteral("Scripts"));
    m_scripts->setToolTipsVisible(true);
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
        m_item->menu().entries = [this] {
            refresh();
            return entriesOf(m_menu);
        };
        connect(&m_item->menu(), &DBusMenu::activated, this,
                [this](const std::vector<int> &where) {
                    if (QAction *a = actionAt(m_menu, where); a && !a->menu())
                        a->trigger();
                });
        m_item->menu().refresh();
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

    refreshSections();

    m_scripts->clear();
    const auto &scripts = m_env.store().scripts();
    if (scripts.empty()) {
        m_scripts->addAction(QStringLiteral("No Scripts"))->setEnabled(false);
        return;
    }
    const auto selected = m_env.store().selectedID();
    // In the library's order, favourites starred, long titles shortened
    // (whole in the tooltip).
    const LibrarySort sort =
        LibrarySorts::fromName(m_env.settings().stringValue(PreferenceKeys::librarySort));
    std::vector<Script> ordered;
    for (const ScriptSection &section :
         ScriptSection::build(scripts, LibraryFilter::all, sort, QString(), selected, IsoDate::now()))
        ordered.insert(ordered.end(), section.scripts.begin(), section.scripts.end());
    for (const Script &s : ordered) {
        QAction *item =
            addTitled(m_scripts, s.isFavorite ? QStringLiteral("\u2605 ") : QString(), s.title);
        item->setCheckable(true);
        item->setChecked(selected == s.id);
        const QUuid scriptId = s.id;
        connect(item, &QAction::triggered, this,
                [this, scriptId] { m_env.store().select(scriptId); });
    }
}

std::function<void()> TrayMenu::command(HotKeyAction action) {
    return [this, action] { m_env.commands().handle(action); };
}

void TrayMenu::refreshSections() {
    m_sections->clear();
    m_sections->addAction(withShortcut(QStringLiteral("Next Section"), HotKeyAction::nextSection),
                          this, command(HotKeyAction::nextSection));
    m_sections->addAction(
        withShortcut(QStringLiteral("Previous Section"), HotKeyAction::previousSection), this,
        command(HotKeyAction::previousSection));
    m_sections->addSeparator();
    const auto headings = m_env.viewport().sections();
    if (headings.empty()) {
        QAction *none = m_sections->addAction(QStringLiteral("No Headings in This Script"));
        none->setEnabled(false);
        none->setToolTip(QStringLiteral("Start a line with # and a space to make it a heading; "
                                        "without headings the commands move by paragraph."));
        return;
    }
    int number = 0;
    for (const auto &heading : headings) {
        ++number;
        // Deeper headings stand in under the ones above them.
        QAction *item = addTitled(m_sections, QString(2 * (heading.level - 1), QChar::Nbsp),
                                  heading.title.isEmpty() ? QStringLiteral("Section %1").arg(number)
                                                          : heading.title);
        const int location = heading.location;
        connect(item, &QAction::triggered, this,
                [this, location] { m_env.viewport().jumpToLocation(location); });
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
    refresh(); // its size depends on the titles
    const QScreen *screen = QGuiApplication::screenAt(at);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen) {
        m_menu->popup(at);
        return;
    }
    m_menu->popup(menuPlace(at, m_menu->sizeHint(), screen->availableGeometry()));
}

QPoint TrayMenu::menuPlace(const QPoint &at, const QSize &size, const QRect &free) {
    const auto fit = [](int start, int extent, int low, int high) {
        return std::clamp(start, low, std::max(low, high + 1 - extent));
    };
    // Across: from the click, pushed back to stay on the free part.
    const int x = fit(at.x() > free.right() ? free.right() + 1 - size.width() : at.x(),
                      size.width(), free.left(), free.right());
    // Up or down: against a panel the click was on, else from the click,
    // turned upwards where there is no room below.
    int y = at.y();
    if (at.y() > free.bottom())
        y = free.bottom() + 1 - size.height();
    else if (at.y() >= free.top() && at.y() + size.height() > free.bottom() + 1)
        y = at.y() - size.height();
    return {x, fit(y, size.height(), free.top(), free.bottom())};
}

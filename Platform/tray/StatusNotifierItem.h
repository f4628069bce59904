#pragma once

#include <QDBusConnection>
#include <QImage>
#include <QObject>
#include <QPoint>
#include <QString>

#include <vector>

class DBusMenu;
class QDBusServiceWatcher;

// Orvell's tray item where the desktop hosts StatusNotifierItems (KDE
// Plasma; GNOME with the AppIndicator extension; most Wayland panels).
// Qt's own tray decides once at start whether a host exists, so a panel
// that starts after Orvell never shows it, and it drops the place the host
// passes with a click. This item follows the host's watcher on the bus for
// as long as Orvell runs.
// The menu is published for the host to draw (DBusMenu); a host that
// cannot asks with ContextMenu(x, y), and Orvell opens its own there.
class StatusNotifierItem : public QObject {
    Q_OBJECT

public:
    static constexpr const char *watcherService = "org.kde.StatusNotifierWatcher";
    static constexpr const char *watcherPath = "/StatusNotifierWatcher";
    static constexpr const char *itemPath = "/StatusNotifierItem";

    explicit StatusNotifierItem(QDBusConnection bus = QDBusConnection::sessionBus(),
                                QObject *parent = nullptr);
    ~StatusNotifierItem() override;

    // Whether a host shows the item now: the watcher took it and says a
    // host is registered.
    bool isShown() const { return m_shown; }
    // The name the item answers under, for the watcher.
    QString serviceName() const { return m_service; }

    void setTitle(const QString &title);
    void setToolTip(const QString &text);
    // The icon at the sizes the host may pick from.
    void setIcons(const std::vector<QImage> &images);
    // What the host shows on a click; its entries come from the app.
    DBusMenu &menu() const { return *m_menu; }
    bool hasMenu() const { return m_menuPublished; }

    // Called by the bus (the adaptor); public for it.
    void hostActivated(int x, int y) { emit menuRequested(QPoint(x, y)); }
    QString title() const { return m_title; }
    QString toolTipText() const { return m_toolTip; }
    const std::vector<QImage> &icons() const { return m_icons; }

signals:
    void shownChanged(bool shown);
    // A click on the item, at the global place the host gave.
    void menuRequested(const QPoint &at);

private slots:
    void hostRegistered();
    void hostUnregistered();

private:
    void watcherAppeared();
    void watcherGone();
    void queryHost();
    // Tells hosts that a property changed ("NewTitle", "NewIcon", …).
    void announce(const char *signal);
    void setShown(bool shown);

    QDBusConnection m_bus;
    QDBusServiceWatcher *m_watch = nullptr;
    QString m_service;
    QString m_title;
    QString m_toolTip;
    std::vector<QImage> m_icons;
    DBusMenu *m_menu = nullptr;
    bool m_menuPublished = false;
    bool m_exported = false;
    bool m_registered = false;
    bool m_shown = false;
};

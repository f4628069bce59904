#pragma once

#include "Platform/shortcuts/GlobalShortcuts.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QVariantMap>

#include <functional>
#include <map>

// One shortcut as the portal passes them: an id and its options
// ("description", "preferred_trigger"; in replies "trigger_description").
struct PortalShortcut {
    QString id;
    QVariantMap options;
};
Q_DECLARE_METATYPE(PortalShortcut)

// One call that the portal answers later with a Response signal on a
// Request object; the signal carries the result.
class PortalRequest : public QObject {
    Q_OBJECT

public:
    std::function<void(uint code, const QVariantMap &results)> done;

public slots:
    void response(const QDBusMessage &message);
};

// The desktop portal's GlobalShortcuts (org.freedesktop.portal.GlobalShortcuts):
// one session per run, the commands bound by their stored names with
// the user's keys as preferred triggers, activations turned into presses.
// The desktop decides the keys in the end; what it reports is the notice.
class PortalGlobalShortcuts : public GlobalShortcuts {
    Q_OBJECT

public:
    static constexpr const char *service = "org.freedesktop.portal.Desktop";
    static constexpr const char *path = "/org/freedesktop/portal/desktop";
    static constexpr const char *interface = "org.freedesktop.portal.GlobalShortcuts";

    // Whether the portal on this bus offers global shortcuts.
    static bool isOffered(const QDBusConnection &bus);

    explicit PortalGlobalShortcuts(QDBusConnection bus, QObject *parent = nullptr);
    ~PortalGlobalShortcuts() override;

    Failure grab(quint32 id, const Shortcut &shortcut, int *status) override;
    void release(quint32 id) override;
    Kind kind() const override { return Kind::portal; }
    QString notice() const override { return m_notice; }

    // The keys the desktop reports for each command, by stored name.
    const std::map<QString, QString> &assigned() const { return m_assigned; }

private slots:
    void onActivated(const QDBusObjectPath &session, const QString &id, qulonglong timestamp,
                     const QVariantMap &options);
    void onShortcutsChanged(const QDBusObjectPath &session, const QList<PortalShortcut> &shortcuts);

private:
    // Calls a portal method that answers through a Request object; `reply`
    // gets the response code (0 done, 1 cancelled, 2 failed) and results.
    void request(const QString &method, QVariantList arguments, QVariantMap options,
                 std::function<void(uint, const QVariantMap &)> reply);
    QList<PortalShortcut> wanted() const;
    void createSession();
    void scheduleBind();
    void bind();
    void takeAssigned(const QList<PortalShortcut> &shortcuts);
    void setNotice(const QString &text);

    QDBusConnection m_bus;
    QString m_session;
    bool m_creating = false;
    bool m_bindPending = false;
    QString m_lastBound;
    std::map<quint32, Shortcut> m_grabs;
    std::map<QString, QString> m_assigned;
    QString m_notice;
    int m_nextToken = 0;
};

#include "Platform/session/ColorScheme.h"
#include "Platform/session/ScreenAwake.h"
#include "Platform/session/SleepWatcher.h"
#include "Platform/tray/DBusMenu.h"
#include "Platform/tray/StatusNotifierItem.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

// Runs inside its own session bus (dbus-run-session), where stand-ins for the
// desktop's screen saver answer on a second connection of this process.
namespace {

class FakeScreenSaver : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")

public:
    QStringList calls;

public slots:
    uint Inhibit(const QString &app, const QString &reason) {
        calls << QStringLiteral("Inhibit %1: %2").arg(app, reason);
        return 41;
    }
    void UnInhibit(uint cookie) { calls << QStringLiteral("UnInhibit %1").arg(cookie); }
};

class FakeGnomeSession : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.gnome.SessionManager")

public:
    QStringList calls;
    bool refuse = false;

public slots:
    uint Inhibit(const QString &app, uint, const QString &, uint flags) {
        if (refuse) {
            sendErrorReply(QDBusError::AccessDenied, QStringLiteral("not in a session"));
            return 0;
        }
        calls << QStringLiteral("Inhibit %1 flags %2").arg(app).arg(flags);
        return 7;
    }
    void Uninhibit(uint cookie) { calls << QStringLiteral("Uninhibit %1").arg(cookie); }
};

class FakePortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Inhibit")

public:
    QStringList calls;

public slots:
    QDBusObjectPath Inhibit(const QString &, uint flags, const QVariantMap &options) {
        calls << QStringLiteral("Inhibit flags %1: %2")
                     .arg(flags)
                     .arg(options.value(QStringLiteral("reason")).toString());
        return QDBusObjectPath(QStringLiteral("/org/freedesktop/portal/desktop/request/1/t"));
    }
};

// The settings portal, answering the appearance's colour scheme as the
// portals of Debian 12 do (the value wrapped in a second variant).
class FakeSettings : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")

public:
    uint scheme = 1;

public slots:
    QDBusVariant Read(const QString &group, const QString &key) {
        if (group != "org.freedesktop.appearance" || key != "color-scheme")
            return QDBusVariant(QVariant::fromValue(QDBusVariant(QString())));
        return QDBusVariant(QVariant::fromValue(QDBusVariant(scheme)));
    }

signals:
    void SettingChanged(const QString &group, const QString &key, const QDBusVariant &value);
};

// The portal's request: closing it ends the hold.
class FakeRequest : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Request")

public:
    QStringList *calls = nullptr;

public slots:
    void Close() { *calls << QStringLiteral("Close"); }
};

// A panel's StatusNotifierWatcher, with or without a host behind it.
class FakeWatcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)

public:
    QStringList items;
    bool host = true;
    bool hostRegistered() const { return host; }

public slots:
    void RegisterStatusNotifierItem(const QString &service) { items << service; }

signals:
    void StatusNotifierHostRegistered();
    void StatusNotifierHostUnregistered();
};

// A menu layout as a host reads it, (ia{sv}av), flattened to "id label" lines
// indented by depth.
void readLayout(const QDBusArgument &arg, QStringList &out, int depth = 0) {
    int id = 0;
    QVariantMap properties;
    arg.beginStructure();
    arg >> id >> properties;
    const QString label = properties.value("type").toString() == "separator"
                              ? QStringLiteral("--")
                              : properties.value("label").toString();
    out << QString(depth * 2, ' ') + QString::number(id) + ' ' + label +
               (properties.value("toggle-state").toInt() == 1 ? " [x]" : "") +
               (properties.value("enabled", true).toBool() ? "" : " (off)");
    arg.beginArray();
    while (!arg.atEnd()) {
        QDBusVariant child;
        arg >> child;
        readLayout(child.variant().value<QDBusArgument>(), out, depth + 1);
    }
    arg.endArray();
    arg.endStructure();
}

// The desktop's side: a connection of its own that owns the services.
struct Desktop {
    // A name of its own each time: a closed connection's name is not reused at once.
    QString name = QStringLiteral("desktop-%1").arg(counter()++);
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
    static int &counter() {
        static int n = 0;
        return n;
    }
    ~Desktop() {
        bus.unregisterService(QStringLiteral("org.freedesktop.ScreenSaver"));
        bus.unregisterService(QStringLiteral("org.gnome.SessionManager"));
        bus.unregisterService(QStringLiteral("org.freedesktop.portal.Desktop"));
        bus.unregisterService(QStringLiteral("org.kde.StatusNotifierWatcher"));
        QDBusConnection::disconnectFromBus(name);
    }
    template <typename T>
    void offer(T &object, const char *service, const char *path,
               QDBusConnection::RegisterOptions what = QDBusConnection::ExportAllSlots) {
        ASSERT_TRUE(bus.registerObject(QLatin1StringView(path), &object, what));
        ASSERT_TRUE(bus.registerService(QLatin1StringView(service)));
    }
    QDBusMessage call(const QString &service, const QString &path, const QString &iface,
                      const QString &member, const QVariantList &args);
};

// Answers the bus until `done` holds (or five seconds pass).
template <typename F> bool settle(F done) {
    return QTest::qWaitFor(done, 5000);
}

// A call from the desktop's side to an object of the app's. Both ends run
// on this thread: it waits with the event loop turning.
QDBusMessage Desktop::call(const QString &service, const QString &path, const QString &iface,
                           const QString &member, const QVariantList &args) {
    QDBusMessage m = QDBusMessage::createMethodCall(service, path, iface, member);
    m.setArguments(args);
    QDBusPendingCall pending = bus.asyncCall(m);
    settle([&] { return pending.isFinished(); });
    return pending.reply();
}

} // namespace

TEST(ScreenAwake, theScreenSaverIsHeldWhileAskedAndReleasedAfter) {
    ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "needs dbus-run-session";
    Desktop desktop;
    FakeScreenSaver saver;
    desktop.offer(saver, "org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver");

    ScreenAwake awake;
    awake.setHeld(true);
    awake.setHeld(true); // asked twice while the answer is on its way: one hold
    ASSERT_TRUE(settle([&] { return awake.isHeld(); }));
    EXPECT_EQ(saver.calls, QStringList{"Inhibit Orvell: Reading a script"});
    EXPECT_TRUE(awake.problem().isEmpty());

    awake.setHeld(false);
    EXPECT_FALSE(awake.isHeld());
    ASSERT_TRUE(settle([&] { return saver.calls.size() == 2; }));
    EXPECT_EQ(saver.calls.last(), "UnInhibit 41");

    // Released while the desktop was still answering: let go once it has.
    awake.setHeld(true);
    awake.setHeld(false);
    ASSERT_TRUE(settle([&] { return saver.calls.size() == 4; }));
    EXPECT_EQ(saver.calls.last(), "UnInhibit 41");
    EXPECT_FALSE(awake.isHeld());

    // Quitting while held gives the hold back.
    {
        ScreenAwake quitting;
        quitting.setHeld(true);
        ASSERT_TRUE(settle([&] { return quitting.isHeld(); }));
    }
    ASSERT_TRUE(settle([&] { return saver.calls.size() == 6; }));
    EXPECT_EQ(saver.calls.last(), "UnInhibit 41");
}

TEST(ScreenAwake, thePortalComesFirstAndClosingItsRequestLetsGo) {
    ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "needs dbus-run-session";
    Desktop desktop;
    FakeScreenSaver saver;
    desktop.offer(saver, "org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver");
    FakePortal portal;
    FakeRequest request;
    request.calls = &portal.calls;
    ASSERT_TRUE(desktop.bus.registerObject("/org/freedesktop/portal/desktop/request/1/t", &request,
                                           QDBusConnection::ExportAllSlots));
    desktop.offer(portal, "org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop");

    ScreenAwake awake;
    awake.setHeld(true);
    ASSERT_TRUE(settle([&] { return awake.isHeld(); }));
    EXPECT_EQ(portal.calls, QStringList{"Inhibit flags 8: Reading a script"});
    awake.setHeld(false);
    ASSERT_TRUE(settle([&] { return portal.calls.size() == 2; }));
    EXPECT_EQ(portal.calls.last(), "Close");
    EXPECT_TRUE(saver.calls.isEmpty());
}

TEST(ScreenAwake, gnomesSessionManagerStandsInAndARefusalIsSaid) {
    ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "needs dbus-run-session";
    Desktop desktop;
    FakeGnomeSession gnome;
    desktop.offer(gnome, "org.gnome.SessionManager", "/org/gnome/SessionManager");

    ScreenAwake awake;
    awake.setHeld(true);
    ASSERT_TRUE(settle([&] { return awake.isHeld(); }));
    EXPECT_EQ(gnome.calls, QStringList{"Inhibit org.orvell.Orvell flags 8"});
    awake.setHeld(false);
    ASSERT_TRUE(settle([&] { return gnome.calls.size() == 2; }));
    EXPECT_EQ(gnome.calls.last(), "Uninhibit 7");

    gnome.refuse = true;
    QSignalSpy problem(&awake, &ScreenAwake::problemChanged);
    awake.setHeld(true);
    ASSERT_TRUE(settle([&] { return problem.count() > 0; }));
    EXPECT_FALSE(awake.isHeld());
    EXPECT_TRUE(awake.problem().startsWith("The screen may dim while you read: the desktop did "
                                           "not let Orvell keep it awake"))
        << awake.problem().toStdString();
}

TEST(StatusNotifierItem, aPanelThatStartsLateShowsTheItemAndItsClicksSayWhere) {
    ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "needs dbus-run-session";
    StatusNotifierItem item;
    item.setTitle("Orvell");
    item.setToolTip("Changes not saved");
    QImage icon(2, 1, QImage::Format_ARGB32);
    icon.setPixel(0, 0, 0xff102030);
    icon.setPixel(1, 0, 0x80ffffff);
    item.setIcons({icon});
    const auto watching = QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals |
                          QDBusConnection::ExportAllProperties;
    QSignalSpy menu(&item, &StatusNotifierItem::menuRequested);
    QTest::qWait(50);
    EXPECT_FALSE(item.isShown()) << "no panel yet";

    {
        // The panel starts: the item registers with its watcher unasked.
        Desktop panel;
        FakeWatcher watcher;
        panel.offer(watcher, "org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher", watching);
        ASSERT_TRUE(settle([&] { return watcher.items.size() == 1 && item.isShown(); }));
        EXPECT_EQ(watcher.items.front(), item.serviceName());

        // What the host reads, and a click with the place it gives.
        const auto call = [&](const QString &iface, const QString &member, QVariantList args) {
            return panel.call(item.serviceName(), "/StatusNotifierItem", iface, member, args);
        };
        const auto get = [&](const QString &name) {
            const QDBusMessage reply =
                call("org.freedesktop.DBus.Properties", "Get", {"org.kde.StatusNotifierItem", name});
            EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
            return reply.arguments().value(0).value<QDBusVariant>().variant();
        };
        EXPECT_EQ(get("Title").toString(), "Orvell");
        EXPECT_EQ(get("Status").toString(), "Active");
        EXPECT_TRUE(get("ItemIsMenu").toBool());
        EXPECT_EQ(get("Menu").value<QDBusObjectPath>().path(), "/MenuBar");
        // The icon as the bus carries it: width, height, ARGB bytes in network order.
        const QDBusArgument pixmaps = get("IconPixmap").value<QDBusArgument>();
        EXPECT_EQ(pixmaps.currentSignature(), "a(iiay)");
        pixmaps.beginArray();
        int width = 0, height = 0;
        QByteArray bytes;
        pixmaps.beginStructure();
        pixmaps >> width >> height >> bytes;
        pixmaps.endStructure();
        EXPECT_EQ(width, 2);
        EXPECT_EQ(height, 1);
        EXPECT_EQ(bytes.toHex(), "ff102030" "80ffffff");
        EXPECT_EQ(call("org.kde.StatusNotifierItem", "ContextMenu", {12, 700}).type(),
                  QDBusMessage::ReplyMessage);
        // A left click is refused: that is how a host is told to open the menu it draws.
        EXPECT_EQ(call("org.kde.StatusNotifierItem", "Activate", {30, 710}).type(),
                  QDBusMessage::ErrorMessage);
        ASSERT_EQ(menu.count(), 1);
        EXPECT_EQ(menu.at(0).at(0).toPoint(), QPoint(12, 700));

        // The menu the host draws: read afresh when it is about to open.
        bool paused = false;
        item.menu().entries = [&] {
            using E = DBusMenu::Entry;
            const auto entry = [](const char *label) {
                E e;
                e.label = label;
                return e;
            };
            E separator;
            separator.separator = true;
            E scripts = entry("Scripts");
            E talk = entry("Talk_v2");
            talk.checkable = talk.checked = true;
            scripts.children = {talk, entry("Notes")};
            E off = entry("Shortcuts: none");
            off.enabled = false;
            return std::vector<E>{
                entry(paused ? "Play\tCtrl+Alt+Super+Space" : "Pause\tCtrl+Alt+Super+Space"),
                separator, scripts, off};
        };
        const auto menuCall = [&](const QString &member, QVariantList args) {
            return panel.call(item.serviceName(), "/MenuBar", "com.canonical.dbusmenu", member, args);
        };
        const auto layout = [&] {
            const QDBusMessage reply = menuCall("GetLayout", {0, -1, QStringList()});
            EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
            QStringList lines;
            readLayout(reply.arguments().value(1).value<QDBusArgument>(), lines);
            return lines;
        };
        EXPECT_TRUE(menuCall("AboutToShow", {0}).arguments().value(0).toBool());
        EXPECT_EQ(layout(), (QStringList{"0 ", "  1 Pause", "  2 --", "  3 Scripts",
                                         "    4 Talk__v2 [x]", "    5 Notes",
                                         "  6 Shortcuts: none (off)"}));
        EXPECT_FALSE(menuCall("AboutToShow", {0}).arguments().value(0).toBool())
            << "nothing changed since";
        const QDBusVariant keys = menuCall("GetProperty", {1, "shortcut"})
                                      .arguments()
                                      .value(0)
                                      .value<QDBusVariant>();
        EXPECT_EQ(qdbus_cast<QList<QStringList>>(keys.variant()),
                  (QList<QStringList>{{"Control", "Alt", "Super", "Space"}}));
        paused = true;
        EXPECT_TRUE(menuCall("AboutToShow", {0}).arguments().value(0).toBool());
        // Entries keep their ids; one whose title changed is a new entry.
        EXPECT_EQ(layout(), (QStringList{"0 ", "  7 Play", "  2 --", "  3 Scripts",
                                         "    4 Talk__v2 [x]", "    5 Notes",
                                         "  6 Shortcuts: none (off)"}));

        QSignalSpy chosen(&item.menu(), &DBusMenu::activated);
        const auto click = [&](int id) {
            return menuCall("Event", {id, "clicked", QVariant::fromValue(QDBusVariant(0)), 0u});
        };
        EXPECT_EQ(click(5).type(), QDBusMessage::ReplyMessage);
        click(6); // disabled
        click(2); // a separator
        EXPECT_EQ(menuCall("Event", {99, "clicked", QVariant::fromValue(QDBusVariant(0)), 0u})
                      .type(),
                  QDBusMessage::ReplyMessage);
        ASSERT_EQ(chosen.count(), 1);
        EXPECT_EQ(chosen.at(0).at(0).value<std::vector<int>>(), (std::vector<int>{2, 1}));
        EXPECT_EQ(menuCall("GetLayout", {42, -1, QStringList()}).type(), QDBusMessage::ErrorMessage);

        // The host goes while its watcher stays, and comes back.
        watcher.host = false;
        emit watcher.StatusNotifierHostUnregistered();
        ASSERT_TRUE(settle([&] { return !item.isShown(); }));
        watcher.host = true;
        emit watcher.StatusNotifierHostRegistered();
        ASSERT_TRUE(settle([&] { return item.isShown(); }));
    }
    // The panel quits: the item is not shown anywhere.
    ASSERT_TRUE(settle([&] { return !item.isShown(); }));

    // A watcher without a host does not count as a tray.
    Desktop bare;
    FakeWatcher watcher;
    watcher.host = false;
    bare.offer(watcher, "org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher", watching);
    ASSERT_TRUE(settle([&] { return watcher.items.size() == 1; }));
    ASSERT_TRUE(settle([&] { return !item.isShown(); }));
}

TEST(SleepWatcher, wakingFromSuspendIsToldOnceAndOnlyByLogind) {
    // A stand-in logind on the test's own bus, given to the watcher as its system bus.
    ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "needs dbus-run-session";
    Desktop logind;
    Desktop stranger;
    ASSERT_TRUE(logind.bus.registerService(QStringLiteral("org.freedesktop.login1")));
    SleepWatcher watcher(QDBusConnection::sessionBus());
    ASSERT_TRUE(watcher.isWatching());
    QSignalSpy resumed(&watcher, &SleepWatcher::resumed);
    const auto sleep = [](Desktop &from, bool sleeping) {
        QDBusMessage signal = QDBusMessage::createSignal(
            QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"));
        signal << sleeping;
        from.bus.send(signal);
    };

    // The stranger's is sent first, so were it taken it would arrive first.
    sleep(stranger, false);
    sleep(logind, true);
    sleep(logind, false);
    ASSERT_TRUE(settle([&] { return resumed.count() > 0; }));
    EXPECT_EQ(resumed.count(), 1);
    logind.bus.unregisterService(QStringLiteral("org.freedesktop.login1"));
}

TEST(ColorScheme, theDesktopsDarkOrLightChoiceIsReadAndFollowed) {
    ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "needs dbus-run-session";
    // No portal: no preference, and Qt's own colours stay.
    {
        ColorScheme none;
        QTest::qWait(50);
        EXPECT_EQ(none.preference(), ColorScheme::Preference::none);
    }
    Desktop desktop;
    FakeSettings settings;
    desktop.offer(settings, "org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop",
                  QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals);
    ColorScheme scheme;
    QSignalSpy changed(&scheme, &ColorScheme::changed);
    ASSERT_TRUE(settle([&] { return scheme.preference() == ColorScheme::Preference::dark; }));

    // The user switches to light; then a change of another setting, and a
    // stranger claiming the portal's signal, change nothing.
    emit settings.SettingChanged("org.freedesktop.appearance", "color-scheme",
                                 QDBusVariant(uint(2)));
    ASSERT_TRUE(settle([&] { return scheme.preference() == ColorScheme::Preference::light; }));
    emit settings.SettingChanged("org.freedesktop.appearance", "accent-color",
                                 QDBusVariant(uint(1)));
    Desktop stranger;
    QDBusMessage forged = QDBusMessage::createSignal("/org/freedesktop/portal/desktop",
                                                     "org.freedesktop.portal.Settings",
                                                     "SettingChanged");
    forged << QString("org.freedesktop.appearance") << QString("color-scheme")
           << QVariant::fromValue(QDBusVariant(uint(1)));
    stranger.bus.send(forged);
    QTest::qWait(100);
    EXPECT_EQ(scheme.preference(), ColorScheme::Preference::light);
    EXPECT_EQ(changed.count(), 2);

    // Values that are not a scheme are no preference.
    EXPECT_EQ(ColorScheme::fromPortal(QVariant::fromValue(QDBusVariant(QString("dark")))),
              ColorScheme::Preference::none);
    EXPECT_EQ(ColorScheme::fromPortal(QVariant(uint(7))), ColorScheme::Preference::none);
    EXPECT_EQ(ColorScheme::fromPortal(QVariant(uint(0))), ColorScheme::Preference::none);
}

#include "SessionServicesTest.moc"

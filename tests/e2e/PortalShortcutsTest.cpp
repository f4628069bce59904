// Global shortcuts through a desktop portal: a stand-in portal (python3-dbus)
// on this test's private session bus answers as KDE Plasma and others do.
#include "Platform/shortcuts/GlobalShortcuts.h"
#include "Orvell/core/ShortcutRegistry.h"
#include "Platform/shortcuts/PortalGlobalShortcuts.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "support/QtPrinters.h"
#include "support/X11TestSupport.h"

namespace {

struct FakePortal {
    QTemporaryDir dir;
    QProcess process;

    explicit FakePortal(const QString &mode) {
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start("/usr/bin/python3", {ORVELL_FAKE_PORTAL, mode, dir.filePath("calls.log")});
        EXPECT_TRUE(waitUntil([] {
            return PortalGlobalShortcuts::isOffered(QDBusConnection::sessionBus());
        })) << "the stand-in portal did not come up (python3-dbus and python3-gi are needed)";
    }
    ~FakePortal() {
        process.kill();
        process.waitForFinished(3000);
        waitUntil([] { return !PortalGlobalShortcuts::isOffered(QDBusConnection::sessionBus()); });
    }

    QList<QJsonObject> calls(const QString &name) const {
        QList<QJsonObject> out;
        QFile f(dir.filePath("calls.log"));
        if (!f.open(QIODevice::ReadOnly))
            return out;
        for (const QByteArray &line : f.readAll().split('\n'))
            if (const QJsonObject o = QJsonDocument::fromJson(line).object();
                o.value("call").toString() == name)
                out << o;
        return out;
    }

    // A key press on the desktop.
    static void press(const QString &id) {
        QDBusMessage m = QDBusMessage::createMethodCall(PortalGlobalShortcuts::service,
                                                        PortalGlobalShortcuts::path,
                                                        "org.orvell.Test", "Activate");
        m << id;
        const QDBusMessage reply = QDBusConnection::sessionBus().call(m);
        EXPECT_NE(reply.type(), QDBusMessage::ErrorMessage) << reply.errorMessage().toStdString();
    }
};

struct Center {
    PortalGlobalShortcuts portal{QDBusConnection::sessionBus()};
    ShortcutRegistry center{portal};
    std::vector<HotKeyAction> fired;
    Center() {
        QObject::connect(&center, &ShortcutRegistry::triggered,
                         [this](HotKeyAction a) { fired.push_back(a); });
        center.start();
    }
    bool bound() const { return !portal.assigned().empty(); }
};

} // namespace

TEST(PortalShortcuts, theFactoryFindsThePortalOnAWaylandSession) {
    FakePortal fake("asked");
    qputenv("WAYLAND_DISPLAY", "wayland-test");
    const GlobalShortcuts::Session session = GlobalShortcuts::currentSession();
    qunsetenv("WAYLAND_DISPLAY");
    EXPECT_TRUE(session.portal);
    EXPECT_EQ(GlobalShortcuts::choose(session), GlobalShortcuts::Kind::portal);
}

TEST(PortalShortcuts, bindsEveryCommandInOneCallAndTurnsActivationsIntoCommands) {
    FakePortal fake("asked");
    Center app;
    ASSERT_TRUE(waitUntil([&] { return app.bound(); }));
    ASSERT_EQ(fake.calls("Register").size(), 1);
    EXPECT_EQ(fake.calls("Register")[0].value("app_id").toString(), "org.orvell.Orvell");
    ASSERT_EQ(fake.calls("BindShortcuts").size(), 1) << "one call for all of them";
    const QJsonArray bound = fake.calls("BindShortcuts")[0].value("shortcuts").toArray();
    ASSERT_EQ(bound.size(), static_cast<qsizetype>(std::size(HotKeyActions::rows)));
    EXPECT_EQ(bound[0].toArray()[0].toString(), "playPause");
    EXPECT_EQ(bound[0].toArray()[1].toObject().value("preferred_trigger").toString(),
              "CTRL+ALT+LOGO+space");
    EXPECT_EQ(bound[0].toArray()[1].toObject().value("description").toString(), "Play / Pause");
    // The bigger speed steps are bound like any other command, Shift chord and all.
    EXPECT_EQ(bound[3].toArray()[0].toString(), "speedUpMore");
    EXPECT_EQ(bound[3].toArray()[1].toObject().value("preferred_trigger").toString(),
              "CTRL+ALT+SHIFT+LOGO+Up");
    EXPECT_TRUE(app.portal.notice().isEmpty()) << app.portal.notice().toStdString();
    EXPECT_TRUE(app.center.failures().empty());

    FakePortal::press("restart");
    ASSERT_TRUE(waitUntil([&] { return !app.fired.empty(); }));
    EXPECT_EQ(app.fired.front(), HotKeyAction::restart);

    // A binding changed in Orvell is bound again; taking the grabs back is not.
    app.center.unregisterAll();
    app.center.registerAll();
    QTest::qWait(200);
    EXPECT_EQ(fake.calls("BindShortcuts").size(), 1);
    EXPECT_FALSE(app.center.assign({35, HotKeyBinding::commandKeys}, HotKeyAction::playPause));
    ASSERT_TRUE(waitUntil([&] { return fake.calls("BindShortcuts").size() == 2; }));
}

TEST(PortalShortcuts, otherKeysFromTheDesktopAreShownWithWhereToChangeThem) {
    FakePortal fake("other");
    Center app;
    ASSERT_TRUE(waitUntil([&] { return app.bound(); }));
    const QString notice = app.portal.notice();
    EXPECT_TRUE(notice.contains("other keys")) << notice.toStdString();
    EXPECT_TRUE(notice.contains("Play / Pause: Ctrl+Shift+F1")) << notice.toStdString();
    EXPECT_TRUE(notice.contains("shortcut settings"));
}

TEST(PortalShortcuts, plasmaRegistersTheShortcutsPassedWhenTheSessionIsCreated) {
    FakePortal fake("kde");
    Center app;
    ASSERT_TRUE(waitUntil([&] { return app.bound(); }));
    ASSERT_EQ(fake.calls("CreateSession").size(), 1);
    EXPECT_EQ(fake.calls("CreateSession")[0]
                  .value("options")
                  .toObject()
                  .value("shortcuts")
                  .toArray()
                  .size(),
              static_cast<qsizetype>(std::size(HotKeyActions::rows)));
    EXPECT_TRUE(app.portal.notice().isEmpty()) << app.portal.notice().toStdString();
    FakePortal::press("toggleIsland");
    ASSERT_TRUE(waitUntil([&] { return !app.fired.empty(); }));
    EXPECT_EQ(app.fired.front(), HotKeyAction::toggleIsland);
}

#include "Orvell/bus/AppBus.h"
#include "Orvell/core/AppEnvironment.h"
#include "Orvell/library/LibraryListModel.h"
#include "Platform/session/SingleInstance.h"
#include "base/AppIdentity.h"
#include "library/ScriptDiskIO.h"
#include "support/LibraryTestSupport.h"
#include "support/TestEnvironment.h"

#include "support/QtPrinters.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDomDocument>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "reading/ScriptViewportModel.h"

#include <gtest/gtest.h>

// Runs inside its own session bus (dbus-run-session): the app's object graph
// owns org.orvell.Orvell here, and orvell-cli and a second orvell are real
// processes talking to it.
namespace {

struct Reply {
    int code = -1;
    QString out, err;
};

// Runs a program while this process keeps answering the bus.
Reply run(const QString &program, const QStringList &args) {
    QProcess p;
    p.start(program, args);
    Reply r;
    if (!p.waitForStarted(5000))
        return r;
    while (p.state() != QProcess::NotRunning) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        p.waitForFinished(20);
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

Reply cli(const QStringList &args) {
    return run(QStringLiteral(ORVELL_CLI), args);
}

struct BusFixture : ::testing::Test {
    QTemporaryDir home;
    std::unique_ptr<TestEnvironment> app;
    AppEnvironment *env = nullptr;
    std::unique_ptr<AppBus> bus;
    SingleInstance instance;
    int shown = 0, decks = 0, islands = 0;

    void SetUp() override {
        ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "needs dbus-run-session";
        // The user's library, as orvell-cli finds it, is this test's.
        qputenv("XDG_DATA_HOME", home.filePath("data").toUtf8());
        QStandardPaths::setTestModeEnabled(false);
        ASSERT_EQ(instance.claim(), SingleInstance::Claim::first);
        app = std::make_unique<TestEnvironment>(false, QString(), true);
        env = app->env.get();
        QObject::connect(&env->commands(), &PrompterCommands::controlDeckToggleRequested,
                         [this] { ++decks; });
        QObject::connect(&env->commands(), &PrompterCommands::islandToggleRequested,
                         [this] { ++islands; });
        bus = std::make_unique<AppBus>(*env);
        bus->onShowLibrary = [this] { ++shown; };
        ASSERT_TRUE(bus->publish(QDBusConnection::sessionBus()));
    }

    void TearDown() override {
        QDBusConnection::sessionBus().unregisterObject(AppIdentity::busPath);
        QDBusConnection::sessionBus().unregisterService(AppIdentity::appId);
    }
};

} // namespace

TEST_F(BusFixture, everyCommandArrivesThroughOrvellCliSend) {
    ScrollEngine &scroll = env->scroll();
    ASSERT_FALSE(scroll.isPlaying());
    EXPECT_EQ(cli({"send", "playPause"}).code, 0);
    EXPECT_TRUE(scroll.isPlaying());

    const double t = scroll.t();
    EXPECT_EQ(cli({"send", "speedUp"}).code, 0);
    EXPECT_GT(scroll.t(), t);
    EXPECT_EQ(cli({"send", "speedDown"}).code, 0);
    EXPECT_DOUBLE_EQ(scroll.t(), t);

    scroll.setOffset(120);
    EXPECT_EQ(cli({"send", "restart"}).code, 0);
    EXPECT_EQ(scroll.offset(), 0);

    const bool voiceWasOn = env->prefs().reading().voiceFollowEnabled();
    EXPECT_EQ(cli({"send", "toggleIsland"}).code, 0);
    EXPECT_EQ(cli({"send", "toggleControlDeck"}).code, 0);
    EXPECT_EQ(cli({"send", "toggleVoiceFollow"}).code, 0);
    EXPECT_EQ(cli({"send", "showLibrary"}).code, 0);
    EXPECT_EQ(islands, 1);
    EXPECT_EQ(decks, 1);
    EXPECT_NE(env->prefs().reading().voiceFollowEnabled(), voiceWasOn);
    EXPECT_EQ(shown, 1);

    // The section commands move the reading to the next heading and back.
    env->store().create("Sections", "# One\nfirst words here.\n\n# Two\nsecond words here.", true);
    env->viewport().setViewportSize(QSizeF(364, 150));
    scroll.jumpTo(0);
    EXPECT_EQ(cli({"send", "nextSection"}).code, 0);
    const double atTwo = scroll.offset();
    EXPECT_GT(atTwo, 0);
    EXPECT_EQ(cli({"send", "previousSection"}).code, 0);
    EXPECT_LT(scroll.offset(), atTwo);

    const Reply unknown = cli({"send", "fly"});
    EXPECT_EQ(unknown.code, 2);
    const Reply help = cli({"send", "--help"});
    EXPECT_TRUE(help.out.contains("toggleVoiceFollow")) << help.out.toStdString();
}

TEST_F(BusFixture, propertiesSayWhatIsReadAndAnnounceChanges) {
    // Asked from another process, as a desktop would.
    const Reply title = run(QStringLiteral("dbus-send"),
                            {"--session", "--print-reply", "--dest=org.orvell.Orvell",
                             "/org/orvell/Orvell", "org.freedesktop.DBus.Properties.Get",
                             "string:org.orvell.Orvell", "string:SelectedScriptTitle"});
    EXPECT_TRUE(title.out.contains("Welcome")) << title.out.toStdString();

    // Another client on the bus hears the change.
    QProcess monitor;
    monitor.start("dbus-monitor",
                  {"--session", "type='signal',interface='org.freedesktop.DBus.Properties'"});
    ASSERT_TRUE(monitor.waitForStarted(5000));
    QByteArray heard;
    while (!heard.contains("member=NameAcquired") && monitor.waitForReadyRead(5000))
        heard += monitor.readAllStandardOutput();
    // The speed is a speaking rate, laid out or not.
    EXPECT_EQ(bus->wordsPerMinute(), 150);
    env->viewport().setViewportSize({364, 160});
    EXPECT_EQ(bus->wordsPerMinute(), 150);
    env->scroll().play();
    EXPECT_TRUE(bus->playing());
    while (!heard.contains("\"Playing\"") && monitor.waitForReadyRead(5000))
        heard += monitor.readAllStandardOutput();
    monitor.kill();
    monitor.waitForFinished();
    EXPECT_TRUE(heard.contains("PropertiesChanged")) << heard.toStdString();
    EXPECT_TRUE(heard.contains("\"Playing\"")) << heard.toStdString();
}

TEST_F(BusFixture, aSecondStartComesForwardAndEnds) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    QProcess second;
    second.setProcessEnvironment(environment);
    second.start(QStringLiteral(ORVELL_BINARY), {});
    ASSERT_TRUE(second.waitForStarted(5000));
    while (second.state() != QProcess::NotRunning) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        second.waitForFinished(20);
    }
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(shown, 1);
}

TEST_F(BusFixture, anImportWhileOrvellRunsIsWrittenByOrvellAndSurvivesTheQuit) {
    const QString talk = home.filePath("talk.txt");
    ASSERT_TRUE(writeFile(talk, "Quarterly review\nNumbers went up."));
    const QString root = env->store().root();
    LibraryListModel list(*env); // what the library window's status line reads

    const Reply imported = cli({"import", talk});
    EXPECT_EQ(imported.code, 0) << imported.err.toStdString();
    EXPECT_EQ(imported.out.trimmed(), "Imported 1 script.");
    EXPECT_EQ(list.importStatus().line(), "Imported 1 script.");
    const Reply failed = cli({"import", "--json", home.filePath("missing.pages")});
    EXPECT_EQ(failed.code, 1);
    EXPECT_TRUE(failed.out.contains(R"("imported":0)")) << failed.out.toStdString();

    ASSERT_NE(env->store().selected(), nullptr);
    EXPECT_EQ(env->store().selected()->title, "talk");
    const QUuid id = env->store().selected()->id;

    // Quitting: Orvell writes its index, which now knows the script.
    bus.reset();
    env->store().flushPendingSynchronously();
    app.reset();
    const LoadOutcome onDisk = ScriptDiskIO::load(root, 0, ScriptDiskIO::LoadMode::readOnly);
    EXPECT_EQ(onDisk.manifest.selectedID, id);
    bool titled = false;
    for (const Script &s : onDisk.scripts())
        titled |= s.id == id && s.title == "talk" && s.body.startsWith("Quarterly review");
    EXPECT_TRUE(titled);
}

TEST_F(BusFixture, theInterfaceIsTheOneDescribedInTheRepository) {
    QFile xml(QStringLiteral(ORVELL_BUS_XML));
    ASSERT_TRUE(xml.open(QIODevice::ReadOnly));
    QDomDocument described;
    ASSERT_TRUE(described.setContent(&xml));
    QDBusMessage introspect =
        QDBusMessage::createMethodCall(AppIdentity::appId, AppIdentity::busPath,
                                       "org.freedesktop.DBus.Introspectable", "Introspect");
    QDomDocument live;
    const QDBusMessage reply = QDBusConnection::sessionBus().call(introspect);
    ASSERT_TRUE(live.setContent(reply.arguments().value(0).toString()));

    const auto members = [](const QDomDocument &doc) {
        QStringList names;
        const QDomNodeList interfaces = doc.elementsByTagName("interface");
        for (int i = 0; i < interfaces.size(); ++i) {
            const QDomElement iface = interfaces.at(i).toElement();
            if (iface.attribute("name") != "org.orvell.Orvell")
                continue;
            for (QDomElement e = iface.firstChildElement(); !e.isNull();
                 e = e.nextSiblingElement()) {
                QString signature = e.tagName() + " " + e.attribute("name");
                // Arguments keep their order within a direction.
                for (const QString direction : {"in", "out"})
                    for (QDomElement a = e.firstChildElement("arg"); !a.isNull();
                         a = a.nextSiblingElement("arg"))
                        if (a.attribute("direction", "in") == direction)
                            signature += " " + direction + ":" + a.attribute("type");
                if (e.tagName() == "property")
                    signature += " " + e.attribute("type") + " " + e.attribute("access");
                names << signature;
            }
        }
        names.sort();
        return names;
    };
    EXPECT_EQ(members(live), members(described));
}

TEST(SingleInstanceWithoutABus, aSecondStartSaysOrvellIsAlreadyRunning) {
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + home.filePath("no-bus"));
    environment.insert("XDG_RUNTIME_DIR", home.path());
    environment.insert("XDG_DATA_HOME", home.filePath("data"));
    environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
    QProcess first;
    first.setProcessEnvironment(environment);
    first.start(QStringLiteral(ORVELL_BINARY), {});
    ASSERT_TRUE(first.waitForStarted(5000));
    // The first start holds the lock once its library is open.
    const QString library = home.filePath("data/org.orvell.Orvell/library.json");
    for (int i = 0; i < 200 && !QFile::exists(library); ++i)
        first.waitForFinished(50);
    ASSERT_EQ(first.state(), QProcess::Running);

    QProcess second;
    second.setProcessEnvironment(environment);
    second.start(QStringLiteral(ORVELL_BINARY), {});
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(second.readAllStandardError().contains("Orvell is already running."));
    EXPECT_EQ(first.state(), QProcess::Running);
    first.terminate();
    EXPECT_TRUE(first.waitForFinished(10000));
}

namespace {

// A small file system of its own: filled up, and freed again, like a full disk.
struct SmallDisk {
    QString path;
    bool mounted = false;
    explicit SmallDisk(const QString &at)
        : path(at) {
        QDir().mkpath(path);
        mounted = QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=1m", "tmpfs", path}) == 0;
    }
    ~SmallDisk() {
        if (mounted)
            QProcess::execute("umount", {"-l", path});
    }
    // Takes every free byte but a few.
    void fill() const {
        QFile filler(path + "/filler");
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Append));
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
    }
    void free() const { QFile::remove(path + "/filler"); }
};

} // namespace

TEST(FullDisk, anImportIsToldTrueAndAnEditIsSavedOnceThereIsRoomAgain) {
    QTemporaryDir home;
    SmallDisk disk(home.filePath("data"));
    if (!disk.mounted)
        GTEST_SKIP() << "mounting a small tmpfs needs root";
    qputenv("XDG_DATA_HOME", disk.path.toUtf8());
    QStandardPaths::setTestModeEnabled(false);
    SingleInstance instance;
    ASSERT_EQ(instance.claim(), SingleInstance::Claim::first);
    // Texts kept at quit go off the full disk, to a folder that outlives the app.
    const auto open = [&](const QString &root) {
        AppEnvironment::Services services;
        services.settings = SettingsStore::inMemory();
        services.autostart = std::make_unique<TestEnvironment::NoAutostart>();
        services.shortcuts = std::make_unique<FakeGlobalShortcuts>();
        services.unsavedFolders = QStringList{home.filePath("state")};
        services.libraryRoot = root;
        return std::make_unique<AppEnvironment>(std::move(services));
    };
    auto app = open(QString());
    AppEnvironment &env = *app;
    AppBus bus(env);
    ASSERT_TRUE(bus.publish(QDBusConnection::sessionBus()));
    ScriptStore &store = env.store();
    ASSERT_TRUE(store.root().startsWith(disk.path));
    const qsizetype before = static_cast<qsizetype>(store.scripts().size());

    // Through the running app, with the disk full: nothing is said to be imported.
    const QString talk = home.filePath("talk.txt");
    ASSERT_TRUE(writeFile(talk, "Quarterly review\nNumbers went up."));
    disk.fill();
    const Reply full = cli({"import", talk});
    EXPECT_EQ(full.code, 1);
    EXPECT_FALSE(full.out.contains("Imported")) << full.out.toStdString();
    EXPECT_TRUE(full.err.contains(talk + ": not imported: could not write "));
    EXPECT_TRUE(full.err.contains("No space left on device")) << full.err.toStdString();
    EXPECT_EQ(static_cast<qsizetype>(store.scripts().size()), before);

    // An edit in the app is kept, said, and written without any user action
    // once there is room again.
    const Script draft = store.create("Draft", "Written while the disk was full.", true);
    EXPECT_TRUE(store.hasUnsaved());
    EXPECT_TRUE(store.saveProblem().contains("No space left on device"));
    disk.free();
    QSignalSpy saved(&store, &ScriptStore::saveProblemChanged);
    for (int i = 0; i < 100 && store.hasUnsaved(); ++i)
        saved.wait(100);
    EXPECT_FALSE(store.hasUnsaved());
    EXPECT_EQ(readFile(ScriptDiskIO::bodyPath(draft.id, store.root())),
              "Written while the disk was full.");

    // Full again at quit: the newest text is kept outside the library, and
    // the next start puts it back.
    disk.fill();
    store.updateBody("The last words before quitting.", draft.id);
    EXPECT_TRUE(env.saveBeforeQuitting());
    const QStringList unsavedFolders = env.unsavedFolders();
    const QString root = store.root();
    EXPECT_EQ(QDir(unsavedFolders.at(0)).entryList(QDir::Files).size(), 1);
    QDBusConnection::sessionBus().unregisterObject(AppIdentity::busPath);
    app.reset();
    disk.free();

    auto reopened = open(root);
    AppEnvironment &next = *reopened;
    ASSERT_NE(next.store().script(draft.id), nullptr);
    EXPECT_EQ(next.store().script(draft.id)->body, "The last words before quitting.");
    EXPECT_FALSE(next.restoredNotice().isEmpty());
    EXPECT_EQ(readFile(ScriptDiskIO::bodyPath(draft.id, next.store().root())),
              "The last words before quitting.");
}

// The island on a real X server (run under Xvfb by CTest): where the window
// sits, which clicks it takes, and whether the global shortcuts drive it.
#include "Platform/x11/X11Window.h"

#include <QDBusConnection>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QMenu>
#include <QMouseEvent>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include "support/X11TestSupport.h"

#include <X11/keysym.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <cstdlib>
#include <functional>

namespace {

// A plain window under the island that counts the clicks reaching it.
class Backdrop : public QWidget {
public:
    int clicks = 0;

protected:
    void mousePressEvent(QMouseEvent *) override { ++clicks; }
};

struct IslandWindow {
    QString id;
    QRect frame;
};

std::optional<IslandWindow> findIsland() {
    const QString ids = run("xdotool", {"search", "--name", "Orvell Island"}).trimmed();
    if (ids.isEmpty())
        return std::nullopt;
    const QString id = ids.split('\n').first();
    const QString info = run("xwininfo", {"-id", id});
    const auto number = [&](const char *label) {
        const qsizetype at = info.indexOf(QLatin1StringView(label));
        return at < 0 ? -1 : info.mid(at + qstrlen(label)).section('\n', 0, 0).trimmed().toInt();
    };
    return IslandWindow{id,
                        QRect(number("Absolute upper-left X:"), number("Absolute upper-left Y:"),
                              number("Width:"), number("Height:"))};
}

QImage grab(const QRect &r) {
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, r.x(), r.y(), r.width(), r.height())
        .toImage();
}

void clickAt(int x, int y) {
    run("xdotool", {"mousemove", QString::number(x), QString::number(y), "click", "1"});
    QTest::qWait(50);
}

} // namespace

TEST(X11Island, sitsAtTopCentreTakesClicksOnlyWhereItShouldAndFollowsShortcuts) {
    xcb_connection_t *c =
        qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    ASSERT_TRUE(c);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    // Another client already holds Ctrl+Alt+Super+T, the Show / Hide Island shortcut.
    xcb_key_symbols_t *symbols = xcb_key_symbols_alloc(c);
    xcb_keycode_t *t = xcb_key_symbols_get_keycode(symbols, XK_t);
    xcb_grab_key(c, 1, root, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4, t[0],
                 XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    xcb_flush(c);
    std::free(t);
    xcb_key_symbols_free(symbols);

    // A real window manager, which raises the window that is clicked: the
    // island must stay above it anyway.
    WindowManager windowManager;
    ASSERT_TRUE(windowManager.started()) << "openbox is needed for this test";

    // As large as the screen but not in the full-screen state, which the
    // island would never cover.
    Backdrop backdrop;
    backdrop.setWindowFlag(Qt::FramelessWindowHint);
    backdrop.setGeometry(QGuiApplication::primaryScreen()->geometry());
    backdrop.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&backdrop));

    QTemporaryDir home;
    // Not the first start, which opens the island on the welcome script.
    QDir().mkpath(home.filePath("config"));
    QFile conf(home.filePath("config/org.orvell.Orvell.conf"));
    ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
    conf.write("[General]\nWelcomed=true\nFirstPlayDone=true\n");
    conf.close();
    QProcess orvell;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", home.filePath("config"));
    env.insert("XDG_DATA_HOME", home.filePath("data"));
    env.insert("QT_QPA_PLATFORM", "xcb");
    orvell.setProcessEnvironment(env);
    orvell.setProcessChannelMode(QProcess::SeparateChannels);
    orvell.start(QStringLiteral(ORVELL_BINARY), {});
    ASSERT_TRUE(orvell.waitForStarted());

    std::optional<IslandWindow> island;
    ASSERT_TRUE(waitUntil([&] { return (island = findIsland()).has_value(); }));
    // A 1512-point display: the idle pill hangs from the top, centred, and
    // the window is no larger than the pill (a 546 × 264 frame around it
    // would take clicks where input shapes are not honoured, as on XWayland).
    EXPECT_EQ(island->frame.top(), 0);
    EXPECT_NEAR(island->frame.center().x(), 756, 1);
    EXPECT_LT(island->frame.width(), 260);
    EXPECT_LT(island->frame.height(), 60);

    // Idle: every click beside the pill passes through. A busy machine may
    // show the window a moment before its shapes are set: click until then.
    const auto passesThrough = [&](int x, int y) {
        return waitUntil([&] {
            const int before = backdrop.clicks;
            clickAt(x, y);
            return waitUntil([&] { return backdrop.clicks > before; }, 500);
        });
    };
    EXPECT_TRUE(passesThrough(500, 150));
    // A click on the pill itself brings up the controls.
    const auto deckShown = [] {
        return !run("xdotool", {"search", "--onlyvisible", "--name", "Orvell Controls"})
                    .trimmed()
                    .isEmpty();
    };
    // Without a tray the controls come up at start: hidden first.
    if (deckShown())
        run("xdotool", {"key", "ctrl+alt+super+k"});
    EXPECT_TRUE(waitUntil([&] { return !deckShown(); }, 5000));
    clickAt(756, 10);
    EXPECT_TRUE(waitUntil(deckShown, 5000));

    // The play shortcut starts the reading: the island grows and scrolls.
    const QRect script(556 + 18, 56, 364, 150);
    const QImage before = grab(script);
    run("xdotool", {"key", "ctrl+alt+super+space"});
    EXPECT_TRUE(waitUntil([&] { return grab(script) != before; }));
    const QImage moving = grab(script);
    EXPECT_TRUE(waitUntil([&] { return grab(script) != moving; }));

    // Another window raised over everything (as a window manager does with
    // the one clicked) does not cover the island.
    run("xdotool", {"windowraise", QString::number(backdrop.winId())});
    backdrop.raise();

    // Live: once the island has grown, the script area takes clicks; the
    // cover strip and the margins do not.
    const QString islandId = QString::number(island->id.toULongLong());
    // Grown with the island: as wide as the reading area, no wider than its frame.
    EXPECT_TRUE(waitUntil([&] {
        island = findIsland();
        return island && island->frame.width() >= 400 && island->frame.height() > 150;
    }));
    EXPECT_LE(island->frame.width(), 546);
    EXPECT_TRUE(waitUntil([&] {
        run("xdotool", {"mousemove", "756", "150"});
        return run("xdotool", {"getmouselocation"}).contains("window:" + islandId);
    }));
    const int clicks = backdrop.clicks;
    clickAt(756, 150);
    clickAt(756, 20);
    clickAt(520, 150);
    EXPECT_TRUE(waitUntil([&] { return backdrop.clicks == clicks + 2; }));
    QTest::qWait(100);
    EXPECT_EQ(backdrop.clicks, clicks + 2);

    // Pressed again it pauses: the text holds still.
    run("xdotool", {"key", "ctrl+alt+super+space"});
    QTest::qWait(200);
    const QImage paused = grab(script);
    QTest::qWait(300);
    EXPECT_EQ(grab(script), paused);

    // Without a window manager a raised window would go over the island,
    // which puts itself back on top.
    windowManager.stop();
    run("xdotool", {"windowraise", QString::number(backdrop.winId())});
    // A busy machine may take a while to deliver the restacking to Orvell.
    EXPECT_TRUE(waitUntil([&] {
        run("xdotool", {"mousemove", "756", "150"});
        return run("xdotool", {"getmouselocation"}).contains("window:" + islandId);
    }));

    orvell.terminate();
    ASSERT_TRUE(orvell.waitForFinished(5000));
    const QString log = QString::fromLocal8Bit(orvell.readAllStandardError());
    EXPECT_TRUE(
        log.contains("shortcut for Show / Hide Island: That shortcut is in use by another app."))
        << log.toStdString();
    EXPECT_FALSE(log.contains("shortcut for Play / Pause"));
}

namespace {

// The window of ours or of another client that is a direct child of the
// root (a managed window's frame), and its place in the stacking order.
int stackingIndex(xcb_connection_t *c, xcb_window_t window) {
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    for (;;) {
        xcb_query_tree_reply_t *tree = xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr);
        if (!tree)
            return -1;
        const xcb_window_t parent = tree->parent;
        std::free(tree);
        if (parent == root || parent == XCB_NONE)
            break;
        window = parent;
    }
    xcb_query_tree_reply_t *tree = xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr);
    int index = -1;
    const xcb_window_t *children = xcb_query_tree_children(tree);
    for (int i = 0; i < xcb_query_tree_children_length(tree); ++i)
        if (children[i] == window)
            index = i; // bottom to top
    std::free(tree);
    return index;
}

// A stand-in for the desktop's screen saver service on the test's session bus.
class FakeScreenSaver : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")

public:
    bool active = false;

public slots:
    bool GetActive() { return active; }

signals:
    void ActiveChanged(bool active);
};

struct Orvell {
    QTemporaryDir home;
    QProcess process;

    // Started for the first time, or (by default) as every later time.
    explicit Orvell(const QByteArray &settings = {}, bool firstStart = false) {
        QDir().mkpath(home.filePath("config"));
        QFile conf(home.filePath("config/org.orvell.Orvell.conf"));
        if (conf.open(QIODevice::WriteOnly))
            conf.write("[General]\n" + (firstStart ? QByteArray() : "Welcomed=true\n") + settings);
        conf.close();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", home.filePath("config"));
        env.insert("XDG_DATA_HOME", home.filePath("data"));
        env.insert("QT_QPA_PLATFORM", "xcb");
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(ORVELL_BINARY), {});
    }
    ~Orvell() {
        process.terminate();
        process.waitForFinished(5000);
    }
};

} // namespace

TEST(X11Island, theFirstStartOpensTheIslandOnTheWelcomeAndShowsTheControls) {
    Orvell first({}, true);
    ASSERT_TRUE(first.process.waitForStarted());
    // Opened on the welcome script's first lines, larger than the idle pill.
    std::optional<IslandWindow> island;
    EXPECT_TRUE(waitUntil([&] {
        island = findIsland();
        return island && island->frame.height() > 100;
    }));
    EXPECT_TRUE(waitUntil([] {
        return !run("xdotool", {"search", "--onlyvisible", "--name", "Orvell Controls"})
                    .trimmed()
                    .isEmpty();
    }));
    // It settles to the pill by itself.
    EXPECT_TRUE(waitUntil(
        [&] {
            island = findIsland();
            return island && island->frame.height() < 60;
        },
        15000));
}

TEST(X11Levels, fullScreenWindowsAndLockersAreCoveredOnlyAsTheSettingSays) {
    xcb_connection_t *c =
        qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    WindowManager windowManager;
    ASSERT_TRUE(windowManager.started());
    QTest::qWait(300);

    // A presentation in full screen, raised after the island appeared.
    QWidget presentation;
    presentation.showFullScreen();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&presentation));
    const auto islandAbovePresentation = [&](const QString &island) {
        return stackingIndex(c, island.toUInt()) > stackingIndex(c, presentation.winId());
    };
    {
        Orvell orvell;
        std::optional<IslandWindow> island;
        ASSERT_TRUE(waitUntil([&] { return (island = findIsland()).has_value(); }));
        run("xdotool", {"windowraise", QString::number(presentation.winId())});
        presentation.raise();
        QTest::qWait(500);
        EXPECT_FALSE(islandAbovePresentation(island->id)) << "the presentation was covered";
    }
    {
        Orvell orvell("AboveFullScreen=true\n");
        std::optional<IslandWindow> island;
        ASSERT_TRUE(waitUntil([&] { return (island = findIsland()).has_value(); }));
        run("xdotool", {"windowraise", QString::number(presentation.winId())});
        presentation.raise();
        EXPECT_TRUE(waitUntil([&] { return islandAbovePresentation(island->id); }, 3000));

        // A locker: the screen saver says it is active and an override-redirect
        // window covers the screen, mapped last. Not even this setting covers it.
        FakeScreenSaver saver;
        QDBusConnection bus = QDBusConnection::sessionBus();
        ASSERT_TRUE(bus.registerObject("/org/freedesktop/ScreenSaver", &saver,
                                       QDBusConnection::ExportAllSlots |
                                           QDBusConnection::ExportAllSignals));
        ASSERT_TRUE(bus.registerService("org.freedesktop.ScreenSaver"));
        saver.active = true;
        emit saver.ActiveChanged(true);
        QTest::qWait(300); // the signal reaches Orvell before the locker maps
        QWidget locker(nullptr, Qt::X11BypassWindowManagerHint | Qt::FramelessWindowHint);
        locker.setGeometry(QGuiApplication::primaryScreen()->geometry());
        locker.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&locker));
        // Stacking changes that would make the island raise itself again: once
        // Orvell has heard that the locker is up, it stays under it.
        const auto underLocker = [&] {
            return stackingIndex(c, locker.winId()) > stackingIndex(c, island->id.toUInt());
        };
        EXPECT_TRUE(waitUntil([&] {
            run("xdotool", {"windowraise", QString::number(presentation.winId())});
            QTest::qWait(200);
            return underLocker();
        }));
        run("xdotool", {"windowraise", QString::number(presentation.winId())});
        QTest::qWait(500);
        EXPECT_TRUE(underLocker()) << "the island went over the locker";
        bus.unregisterService("org.freedesktop.ScreenSaver");
        bus.unregisterObject("/org/freedesktop/ScreenSaver");
    }
}

TEST(X11Levels, aMenuOfOursOpensAboveTheWindowsKeptOnTop) {
    // The deck's ••• menu where there is no tray: the deck is kept on top and
    // re-raises itself when windows come up, yet its own menu must stay above it.
    xcb_connection_t *c =
        qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    QWidget deck(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
    deck.setGeometry(300, 300, 400, 200);
    deck.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&deck));
    X11Window::keepAbove(deck.windowHandle());
    QMenu menu;
    for (const char *item : {"Library…", "Settings…", "Quit Orvell"})
        menu.addAction(QString::fromUtf8(item));
    menu.popup(QPoint(320, 330));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
    const auto menuOnTop = [&] {
        return stackingIndex(c, menu.winId()) > stackingIndex(c, deck.winId());
    };
    EXPECT_TRUE(waitUntil(menuOnTop, 3000));
    // Another client's window coming up makes the deck rise again: the menu still on top.
    QProcess other;
    other.start("xmessage", {"-geometry", "+310+310", "another app"});
    ASSERT_TRUE(other.waitForStarted());
    EXPECT_TRUE(waitUntil([&] { return !run("xdotool", {"search", "--name", "xmessage"}).trimmed().isEmpty(); }, 5000));
    X11Window::raiseKept();
    EXPECT_TRUE(waitUntil(menuOnTop, 3000));
    menu.close();
    other.kill();
    other.waitForFinished(3000);
}

TEST(X11Tray, theTrayMenuDrivesThePrompter) {
    QProcess tray;
    WindowManager windowManager;
    ASSERT_TRUE(windowManager.started());
    // An XEmbed tray host of the kind many desktops run.
    tray.start("trayer",
               {"--edge", "top", "--align", "right", "--widthtype", "request", "--height", "28"});
    ASSERT_TRUE(tray.waitForStarted()) << "trayer is needed for this test";
    QTest::qWait(300);
    Orvell orvell;

    // The icon docks into the tray: a small window of Orvell's inside the tray's panel.
    static const QRegularExpression icon(
        R"re("Orvell": \("orvell" "Orvell"\)\s+(\d+)x(\d+)\+\S+\s+\+(-?\d+)\+(-?\d+))re");
    // Read again before each click: while the tray settles the icon is first
    // placed where the panel was, partly off the screen, then moved.
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const auto dockedIcon = [&screen]() -> std::optional<QRect> {
        auto matches = icon.globalMatch(run("xwininfo", {"-root", "-tree"}));
        while (matches.hasNext()) {
            const auto m = matches.next();
            const QRect r(m.captured(3).toInt(), m.captured(4).toInt(), m.captured(1).toInt(),
                          m.captured(2).toInt());
            if (r.width() < 64 && r.height() < 64 && screen.contains(r))
                return r;
        }
        return std::nullopt;
    };
    QRect at;
    ASSERT_TRUE(waitUntil([&] {
        const auto r = dockedIcon();
        at = r.value_or(QRect());
        return r.has_value();
    })) << "no tray icon";

    const auto playing = [] {
        return run("dbus-send", {"--session", "--print-reply", "--dest=org.orvell.Orvell",
                                 "/org/orvell/Orvell", "org.freedesktop.DBus.Properties.Get",
                                 "string:org.orvell.Orvell", "string:Playing"})
            .contains("boolean true");
    };
    ASSERT_FALSE(playing());
    // A click opens the menu at the pointer; its first item is Play. A busy
    // machine may not have the menu up in time for the keys: try again.
    // The menu is a popup of Orvell's named after it. Its first row is Play:
    // clicked with the pointer, which needs no keyboard grab to succeed.
    // Only a popup that is mapped counts (the tree also lists windows Qt
    // keeps unmapped), and of those the one nearest the icon it opened from.
    const auto shownMenu = [&at]() -> std::optional<QRect> {
        static const QRegularExpression popup(
            R"re((0x[0-9a-f]+) (?:"Orvell"|\(has no name\)): \("orvell" "Orvell"\)\s+(\d+)x(\d+)\S*\s+\+(-?\d+)\+(-?\d+))re");
        std::optional<QRect> nearest;
        const auto distance = [&at](const QRect &r) {
            return (r.center() - at.center()).manhattanLength();
        };
        auto matches = popup.globalMatch(run("xwininfo", {"-root", "-tree"}));
        while (matches.hasNext()) {
            const auto m = matches.next();
            const QRect r(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(2).toInt(),
                          m.captured(3).toInt());
            if (r.width() < 80 || r.height() < 80 ||
                !run("xwininfo", {"-id", m.captured(1)}).contains("IsViewable"))
                continue;
            if (!nearest || distance(r) < distance(*nearest))
                nearest = r;
        }
        return nearest;
    };
    bool started = false;
    for (int attempt = 0; attempt < 5 && !started; ++attempt) {
        std::optional<QRect> menu = shownMenu();
        if (!menu) {
            at = dockedIcon().value_or(at);
            clickAt(at.center().x(), at.center().y());
            waitUntil([&] { return (menu = shownMenu()).has_value(); }, 5000);
        }
        if (!menu)
            continue;
        QTest::qWait(200 + 200 * attempt);
        clickAt(menu->x() + menu->width() / 3, menu->y() + 14);
        started = waitUntil(playing, 3000);
        if (!started) {
            run("xdotool", {"key", "Escape"});
            waitUntil([&] { return !shownMenu(); }, 3000);
        }
    }
    EXPECT_TRUE(started);
    tray.terminate();
    tray.waitForFinished(5000);
}

TEST(X11ControlDeck, thePresentationKeepsTheFocusWhileTheDeckIsUsed) {
    WindowManager windowManager;
    ASSERT_TRUE(windowManager.started());
    QTest::qWait(300);
    QWidget presentation;
    presentation.setWindowTitle("Presentation");
    presentation.setGeometry(100, 100, 600, 400);
    presentation.show();
    ASSERT_TRUE(activate(presentation));
    Orvell orvell;
    ASSERT_TRUE(waitUntil([] { return findIsland().has_value(); }));
    const auto callOrvell = [](const char *method) {
        run("dbus-send", {"--session", "--print-reply", "--dest=org.orvell.Orvell",
                          "/org/orvell/Orvell", QString("org.orvell.Orvell.") + method});
    };
    callOrvell("ToggleControlDeck");
    QString deck;
    ASSERT_TRUE(waitUntil([&] {
        deck = run("xdotool", {"search", "--name", "Orvell Controls"}).trimmed();
        return !deck.isEmpty();
    }));
    const QString info = run("xwininfo", {"-id", deck.section('\n', 0, 0)});
    const auto number = [&](const char *label) {
        const qsizetype at = info.indexOf(QLatin1StringView(label));
        return info.mid(at + qstrlen(label)).section('\n', 0, 0).trimmed().toInt();
    };
    const QPoint corner(number("Absolute upper-left X:"), number("Absolute upper-left Y:"));
    // A click on a button (play), then a drag by the card's background.
    clickAt(corner.x() + 38, corner.y() + 38);
    const QPoint grip = corner + QPoint(200, 112);
    run("xdotool", {"mousemove", QString::number(grip.x()), QString::number(grip.y()), "mousedown",
                    "1", "mousemove", QString::number(grip.x() - 80),
                    QString::number(grip.y() - 60), "mouseup", "1"});
    QTest::qWait(300);
    EXPECT_TRUE(presentation.isActiveWindow());
    EXPECT_EQ(QGuiApplication::focusWindow(), presentation.windowHandle());
    EXPECT_EQ(run("xdotool", {"getactivewindow"}).trimmed().toULongLong(), presentation.winId());
    const QString moved = run("xwininfo", {"-id", deck.section('\n', 0, 0)});
    EXPECT_NE(moved, info) << "the deck did not move";
}

#include "X11IslandTest.moc"

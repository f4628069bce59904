// The island on a real X server (run under Xvfb by CTest): where the window
// sits, which clicks it takes, and whether the global shortcuts drive it.
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QImage>
#include <QMouseEvent>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <X11/keysym.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <cstdlib>
#include <functional>

namespace {

// Waits, handling events, until `done` holds or the deadline passes.
bool waitUntil(const std::function<bool()> &done, int ms = 10000) {
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        if (done())
            return true;
        QTest::qWait(20);
    }
    return done();
}

QString run(const QString &program, const QStringList &args) {
    QProcess p;
    p.start(program, args);
    while (!p.waitForFinished(20))
        QCoreApplication::processEvents();
    return QString::fromLocal8Bit(p.readAllStandardOutput());
}

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
    QProcess windowManager;
    windowManager.start("openbox", {});
    ASSERT_TRUE(windowManager.waitForStarted()) << "openbox is needed for this test";

    Backdrop backdrop;
    backdrop.setGeometry(QGuiApplication::primaryScreen()->availableGeometry());
    backdrop.showFullScreen();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&backdrop));

    QTemporaryDir home;
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
    // A 1512-point display: the 546 × 264 window hangs from the top, centred.
    EXPECT_EQ(island->frame, QRect(483, 0, 546, 264));

    // Idle: every click passes through, the pill included.
    clickAt(500, 150);
    clickAt(756, 10);
    EXPECT_TRUE(waitUntil([&] { return backdrop.clicks == 2; }));

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
    windowManager.terminate();
    windowManager.waitForFinished(5000);
    run("xdotool", {"windowraise", QString::number(backdrop.winId())});
    EXPECT_TRUE(waitUntil(
        [&] {
            run("xdotool", {"mousemove", "756", "150"});
            return run("xdotool", {"getmouselocation"}).contains("window:" + islandId);
        },
        3000));

    orvell.terminate();
    ASSERT_TRUE(orvell.waitForFinished(5000));
    const QString log = QString::fromLocal8Bit(orvell.readAllStandardError());
    EXPECT_TRUE(
        log.contains("shortcut for Show / Hide Island: That shortcut is in use by another app."))
        << log.toStdString();
    EXPECT_FALSE(log.contains("shortcut for Play / Pause"));
}

// A talk prepared as a person would, against the real app on a real X
// server: a new script written in the library, a file imported, a search
// cleared, the talk played from another window with the shortcut, Orvell
// quit and started again with everything where it was left.
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include "support/X11TestSupport.h"

namespace {

// Orvell in a home of its own; the same home for a second start.
struct PreparedOrvell {
    QString home;
    QProcess process;

    explicit PreparedOrvell(const QString &dir)
        : home(dir) {
        process.setProcessEnvironment(environment());
        process.start(QStringLiteral(ORVELL_BINARY), {});
    }
    ~PreparedOrvell() {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            process.waitForFinished(5000);
        }
    }
    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", home + "/config");
        env.insert("XDG_DATA_HOME", home + "/data");
        env.insert("QT_QPA_PLATFORM", "xcb");
        return env;
    }
    // orvell-cli as the user runs it beside this Orvell.
    QString cli(const QStringList &args) const {
        return run(QStringLiteral(ORVELL_CLI), args, environment());
    }
    QJsonArray scripts() const {
        return QJsonDocument::fromJson(cli({"library", "--json", "list"}).toUtf8())
            .object()
            .value("scripts")
            .toArray();
    }
};

QString busProperty(const char *name) {
    return run("dbus-send", {"--session", "--print-reply", "--dest=org.orvell.Orvell",
                             "/org/orvell/Orvell", "org.freedesktop.DBus.Properties.Get",
                             "string:org.orvell.Orvell", QString("string:") + name});
}

QString libraryWindow() {
    const QStringList found =
        run("xdotool", {"search", "--onlyvisible", "--name", "^Orvell$"}).split('\n', Qt::SkipEmptyParts);
    return found.isEmpty() ? QString() : found.first();
}

void keysTo(const QString &window, const QStringList &keys) {
    run("xdotool", QStringList{"windowactivate", "--sync", window});
    run("xdotool", QStringList{"key", "--clearmodifiers"} + keys);
}

void typeTo(const QString &window, const QString &text) {
    run("xdotool", QStringList{"windowactivate", "--sync", window});
    run("xdotool", {"type", "--delay", "20", text});
}

const QJsonObject scriptTitled(const QJsonArray &scripts, const QString &title) {
    for (const QJsonValue &s : scripts)
        if (s.toObject().value("title").toString() == title)
            return s.toObject();
    return {};
}

} // namespace

TEST(X11Preparation, aTalkIsWrittenImportedPlayedFromAnotherWindowAndFoundAfterARestart) {
    WindowManager windowManager;
    ASSERT_TRUE(windowManager.started());
    QTest::qWait(300);
    QTemporaryDir home;
    QWidget presentation;
    presentation.setWindowTitle("Slides");
    presentation.setGeometry(60, 300, 500, 300);
    presentation.show();
    ASSERT_TRUE(activate(presentation));

    {
        PreparedOrvell orvell(home.path());
        ASSERT_TRUE(waitUntil([] { return busProperty("SelectedScriptTitle").contains("Welcome"); },
                              20000));
        // A second start brings the library forward.
        QProcess second;
        second.setProcessEnvironment(orvell.environment());
        second.start(QStringLiteral(ORVELL_BINARY), {});
        ASSERT_TRUE(second.waitForFinished(10000));
        QString window;
        ASSERT_TRUE(waitUntil([&] { return !(window = libraryWindow()).isEmpty(); }, 10000));

        // File › New Script: the title first, then straight on to the words.
        keysTo(window, {"ctrl+n"});
        ASSERT_TRUE(waitUntil(
            [] { return busProperty("SelectedScriptTitle").contains("Untitled Script"); }));
        keysTo(window, {"ctrl+a"});
        typeTo(window, "Launch talk");
        keysTo(window, {"Return"});
        ASSERT_TRUE(waitUntil(
            [] { return busProperty("SelectedScriptTitle").contains("\"Launch talk\""); }))
            << busProperty("SelectedScriptTitle").toStdString();
        typeTo(window, "We built it for you.");
        ASSERT_TRUE(waitUntil(
            [&] {
                return scriptTitled(orvell.scripts(), "Launch talk").value("wordCount").toInt() == 5;
            },
            10000))
            << orvell.cli({"library", "list"}).toStdString();

        // A file imported while Orvell runs goes to it; its list keeps its labels.
        QFile notes(home.filePath("Q and A.md"));
        ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
        notes.write("# Q and A\n\n- Pricing\n- Dates\n");
        notes.close();
        EXPECT_TRUE(orvell.cli({"import", notes.fileName()}).contains("Imported"));
        ASSERT_TRUE(waitUntil([&] { return !scriptTitled(orvell.scripts(), "Q and A").isEmpty(); }));

        // Back to the talk, then Play from the presentation with the shortcut.
        const QString talkId = scriptTitled(orvell.scripts(), "Launch talk").value("id").toString();
        ASSERT_FALSE(talkId.isEmpty());
        keysTo(window, {"ctrl+f"});
        typeTo(window, "launch");
        keysTo(window, {"Escape"});
        ASSERT_TRUE(activate(presentation));
        run("xdotool", {"key", "--clearmodifiers", "ctrl+alt+super+space"});
        EXPECT_TRUE(waitUntil([] { return busProperty("Playing").contains("true"); }))
            << busProperty("Playing").toStdString();
        EXPECT_TRUE(presentation.isActiveWindow()) << "the shortcut took the focus";
        run("xdotool", {"key", "--clearmodifiers", "ctrl+alt+super+space"});
        EXPECT_TRUE(waitUntil([] { return busProperty("Playing").contains("false"); }));

        // Quit from the library (File › Quit Orvell writes what is pending).
        keysTo(window, {"ctrl+q"});
        EXPECT_TRUE(orvell.process.waitForFinished(15000)) << "Orvell did not quit";
    }

    // Started again: the talk, its words and the import are where they were.
    PreparedOrvell again(home.path());
    ASSERT_TRUE(waitUntil([] { return !busProperty("SelectedScriptTitle").isEmpty(); }, 20000));
    const QJsonArray scripts = again.scripts();
    EXPECT_EQ(scriptTitled(scripts, "Launch talk").value("wordCount").toInt(), 5);
    EXPECT_FALSE(scriptTitled(scripts, "Q and A").isEmpty());
    EXPECT_TRUE(again.cli({"library", "show", scriptTitled(scripts, "Q and A").value("id").toString()})
                    .contains(QString::fromUtf8("\u2022 Pricing")));
}

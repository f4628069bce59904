#include "Platform/shortcuts/GlobalShortcuts.h"
#include "Platform/shortcuts/GnomeKeybindings.h"
#include "Platform/shortcuts/KeyNames.h"
#include "commands/KeyCodes.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "support/QtPrinters.h"

// Last: Xlib defines short macros (None, Bool) that Qt headers use as names.
#include <X11/Xlib.h>

namespace {

constexpr quint64 all = HotKeyBinding::commandKeys;

using Kind = GlobalShortcuts::Kind;
using Session = GlobalShortcuts::Session;

std::vector<GlobalShortcuts::Shortcut> someShortcuts() {
    return {{"playPause", "Play / Pause", {49, all}},
            {"speedUp", "Speed Up", {126, all}},
            {"speedUpMore", "Speed Up More", {126, all | HotKeyBinding::shift}}};
}

} // namespace

TEST(ShortcutServices, theFactoryPicksWhatTheSessionOffers) {
    EXPECT_EQ(GlobalShortcuts::choose(Session{false, true, false, "openbox"}), Kind::x11Grabs);
    // On Wayland X11 grabs miss native windows: the portal where it exists...
    EXPECT_EQ(GlobalShortcuts::choose(Session{true, true, true, "KDE"}), Kind::portal);
    EXPECT_EQ(GlobalShortcuts::choose(Session{true, true, true, "GNOME", 48}), Kind::portal);
    // Before GNOME 48 a portal that offers them on GNOME is another desktop's
    // backend, which never fires: GNOME's keyboard settings instead.
    EXPECT_EQ(GlobalShortcuts::choose(Session{true, true, true, "GNOME", 43}),
              Kind::gnomeKeybindings);
    EXPECT_EQ(GlobalShortcuts::choose(Session{true, true, true, "GNOME", 0}),
              Kind::gnomeKeybindings);
    // ...GNOME's own keyboard settings where it does not...
    EXPECT_EQ(GlobalShortcuts::choose(Session{true, true, false, "ubuntu:GNOME"}),
              Kind::gnomeKeybindings);
    // ...and lines to bind anywhere else.
    EXPECT_EQ(GlobalShortcuts::choose(Session{true, true, false, "sway"}), Kind::bindLines);
    EXPECT_EQ(GlobalShortcuts::choose(Session{true, false, false, "Hyprland"}), Kind::bindLines);
    EXPECT_EQ(GlobalShortcuts::choose(Session{false, false, false, ""}), Kind::none);
}

TEST(ShortcutServices, bindingsAreWrittenTheWayEachDesktopReadsThem) {
    const HotKeyBinding play{49, all};
    EXPECT_EQ(KeyNames::portalTrigger(play), "CTRL+ALT+LOGO+space");
    EXPECT_EQ(KeyNames::gnomeAccelerator(play), "<Control><Alt><Super>space");
    EXPECT_EQ(KeyNames::swayKeys({126, all | HotKeyBinding::shift}), "Ctrl+Mod1+Shift+Mod4+Up");
    EXPECT_EQ(KeyNames::hyprlandKeys({15, all}), "CTRL ALT SUPER, r");
    EXPECT_EQ(KeyNames::portalTrigger({101, HotKeyBinding::control}), "CTRL+F9");
    EXPECT_EQ(KeyNames::portalTrigger({116, HotKeyBinding::option}), "ALT+Page_Up");
    EXPECT_EQ(KeyNames::portalTrigger({999, all}), "");

    const auto shortcuts = someShortcuts();
    EXPECT_EQ(GlobalShortcuts::bindLines("sway", shortcuts),
              "bindsym Ctrl+Mod1+Mod4+space exec orvell-cli send playPause\n"
              "bindsym Ctrl+Mod1+Mod4+Up exec orvell-cli send speedUp\n"
              "bindsym Ctrl+Mod1+Shift+Mod4+Up exec orvell-cli send speedUpMore");
    EXPECT_EQ(GlobalShortcuts::bindLines("Hyprland", shortcuts).section('\n', 0, 0),
              "bind = CTRL ALT SUPER, space, exec, orvell-cli send playPause");
    EXPECT_TRUE(
        GlobalShortcuts::bindLines("LXQt", shortcuts)
            .startsWith("orvell-cli send playPause    # Play / Pause, Ctrl+Alt+Super+Space"));
}

TEST(GnomeKeybindings, addsRunnableShortcutsOnlyWhenAskedAndRemovesOnlyItsOwn) {
    QTemporaryDir config;
    qputenv("GSETTINGS_BACKEND", "keyfile");
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    const auto gsettings = [](QStringList args) {
        QProcess p;
        p.start("gsettings", args);
        p.waitForFinished(10000);
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    };
    const QString schema = GnomeKeybindings::schema;
    const QString entry =
        QString(GnomeKeybindings::entrySchema) + ':' + GnomeKeybindings::pathPrefix;
    // The user has a shortcut of their own.
    gsettings({"set", schema, "custom-keybindings", "['/org/gnome/custom0/']"});

    GnomeKeybindings gnome("/opt/orvell/bin/orvell-cli");
    EXPECT_EQ(gnome.kind(), Kind::gnomeKeybindings);
    int status = 0;
    const auto shortcuts = someShortcuts();
    for (quint32 id = 1; id <= shortcuts.size(); ++id)
        EXPECT_EQ(gnome.grab(id, shortcuts[id - 1], &status), GlobalShortcuts::Failure::unavailable)
            << "nothing is written before the user asks";
    EXPECT_FALSE(gnome.isInstalled());
    EXPECT_EQ(gsettings({"get", schema, "custom-keybindings"}), "['/org/gnome/custom0/']");

    QString error;
    ASSERT_TRUE(gnome.install(&error)) << error.toStdString();
    EXPECT_TRUE(gnome.isInstalled());
    EXPECT_EQ(
        GnomeKeybindings::parseList(gsettings({"get", schema, "custom-keybindings"})),
        (QStringList{"/org/gnome/custom0/", QString(GnomeKeybindings::pathPrefix) + "playPause/",
                     QString(GnomeKeybindings::pathPrefix) + "speedUp/",
                     QString(GnomeKeybindings::pathPrefix) + "speedUpMore/"}));
    EXPECT_EQ(gsettings({"get", entry + "playPause/", "command"}),
              "'/opt/orvell/bin/orvell-cli send playPause'");
    EXPECT_EQ(gsettings({"get", entry + "playPause/", "binding"}), "'<Control><Alt><Super>space'");
    EXPECT_EQ(gsettings({"get", entry + "speedUp/", "name"}), "'Orvell: Speed Up'");

    // A binding changed in Orvell is changed in GNOME too.
    EXPECT_EQ(gnome.grab(9, {"playPause", "Play / Pause", {35, all}}, &status),
              GlobalShortcuts::Failure::none);
    EXPECT_EQ(gsettings({"get", entry + "playPause/", "binding"}), "'<Control><Alt><Super>p'");

    // The next start finds them installed and takes them as they are.
    GnomeKeybindings nextStart("/opt/orvell/bin/orvell-cli");
    EXPECT_EQ(nextStart.grab(1, {"playPause", "Play / Pause", {35, all}}, &status),
              GlobalShortcuts::Failure::none);
    EXPECT_EQ(nextStart.grab(2, {"speedUp", "Speed Up", {125, all}}, &status),
              GlobalShortcuts::Failure::none);
    EXPECT_EQ(gsettings({"get", entry + "speedUp/", "binding"}), "'<Control><Alt><Super>Down'")
        << "a binding changed while Orvell was not running is brought up to date";
    // A command that came with a newer Orvell joins the installed ones.
    EXPECT_EQ(nextStart.grab(3, {"speedDownMore", "Speed Down More", {125, all | HotKeyBinding::shift}},
                             &status),
              GlobalShortcuts::Failure::none);
    EXPECT_TRUE(GnomeKeybindings::parseList(gsettings({"get", schema, "custom-keybindings"}))
                    .contains(QString(GnomeKeybindings::pathPrefix) + "speedDownMore/"));
    EXPECT_EQ(gsettings({"get", entry + "speedDownMore/", "binding"}),
              "'<Control><Alt><Shift><Super>Down'");
    EXPECT_EQ(gsettings({"get", entry + "playPause/", "command"}),
              "'/opt/orvell/bin/orvell-cli send playPause'");

    // Started from another place (the build moved, a package replaced it):
    // GNOME's entries run the orvell-cli beside the running program again.
    GnomeKeybindings moved("/usr/bin/orvell-cli");
    EXPECT_EQ(moved.grab(1, {"playPause", "Play / Pause", {35, all}}, &status),
              GlobalShortcuts::Failure::none);
    EXPECT_EQ(gsettings({"get", entry + "playPause/", "command"}),
              "'/usr/bin/orvell-cli send playPause'");
    EXPECT_EQ(gsettings({"get", entry + "playPause/", "binding"}), "'<Control><Alt><Super>p'");

    ASSERT_TRUE(gnome.remove(&error)) << error.toStdString();
    EXPECT_FALSE(gnome.isInstalled());
    EXPECT_EQ(gsettings({"get", schema, "custom-keybindings"}), "['/org/gnome/custom0/']");
    EXPECT_EQ(gsettings({"get", entry + "playPause/", "command"}), "''");
    qunsetenv("GSETTINGS_BACKEND");
    qunsetenv("XDG_CONFIG_HOME");
}

TEST(GnomeKeybindings, readsAndWritesGsettingsLists) {
    EXPECT_EQ(GnomeKeybindings::parseList("@as []"), QStringList());
    EXPECT_EQ(GnomeKeybindings::parseList("['/a/', '/b\\'c/']"), (QStringList{"/a/", "/b'c/"}));
    EXPECT_EQ(GnomeKeybindings::formatList({}), "@as []");
    EXPECT_EQ(GnomeKeybindings::formatList({"/a/", "/b'c/"}), "['/a/', '/b\\'c/']");
}

// The one key table against X's own names: every key's xkb name must be the
// keysym an X grab asks for, and each code and Qt key must lead back to its row.
TEST(ShortcutServices, theKeyTableAgreesWithXAndWithItself) {
    int rows = 0;
    for (quint16 code = 0; code < 256; ++code) {
        const ShortcutKey *key = KeyCodes::find(code);
        if (!key)
            continue;
        ++rows;
        EXPECT_EQ(XStringToKeysym(key->xkb), key->keysym) << key->xkb;
        ASSERT_NE(KeyCodes::fromQtKey(key->qtKey), nullptr) << key->xkb;
        EXPECT_EQ(KeyCodes::fromQtKey(key->qtKey)->code, code) << key->xkb;
        EXPECT_EQ(KeyCodes::xkb(code), QString::fromLatin1(key->xkb));
    }
    EXPECT_EQ(rows, 83);
    // What Shift types names the key it is typed with.
    EXPECT_EQ(KeyCodes::fromQtKey(Qt::Key_Question)->code, KeyCodes::fromQtKey(Qt::Key_Slash)->code);
    EXPECT_EQ(KeyCodes::fromQtKey(Qt::Key_Exclam)->code, KeyCodes::fromQtKey(Qt::Key_1)->code);
    EXPECT_EQ(KeyCodes::fromQtKey(Qt::Key_MediaPlay), nullptr);
}

#include "Platform/shortcuts/GlobalShortcuts.h"

#include "Platform/shortcuts/GnomeKeybindings.h"
#include "Platform/shortcuts/KeyNames.h"
#include "Platform/shortcuts/PortalGlobalShortcuts.h"
#include "Platform/shortcuts/X11GlobalShortcuts.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QGuiApplication>

namespace {

bool isGnome(const QString &desktop) {
    return desktop.split(QLatin1Char(':')).contains(QStringLiteral("GNOME"), Qt::CaseInsensitive);
}

} // namespace

QString GlobalShortcuts::mechanism() const {
    switch (kind()) {
    case Kind::x11Grabs:
        return QStringLiteral("X11 key grabs");
    case Kind::portal:
        return QStringLiteral("the desktop portal's global shortcuts");
    case Kind::gnomeKeybindings:
        return QStringLiteral("GNOME keyboard shortcuts running orvell-cli");
    case Kind::bindLines:
        return QStringLiteral("keys bound in the desktop's own settings");
    case Kind::none:
        break;
    }
    return QString();
}

QString GlobalShortcuts::bindLines(const QString &desktop, const std::vector<Shortcut> &shortcuts,
                                   const QString &cli) {
    const QStringList desktops = desktop.toLower().split(QLatin1Char(':'));
    const bool sway = desktops.contains(QStringLiteral("sway"));
    const bool hyprland = desktops.contains(QStringLiteral("hyprland"));
    QStringList lines;
    for (const Shortcut &s : shortcuts) {
        const QString command = cli + QStringLiteral(" send ") + s.name;
        if (sway && !KeyNames::swayKeys(s.binding).isEmpty())
            lines << QStringLiteral("bindsym ") + KeyNames::swayKeys(s.binding) +
                         QStringLiteral(" exec ") + command;
        else if (hyprland && !KeyNames::hyprlandKeys(s.binding).isEmpty())
            lines << QStringLiteral("bind = ") + KeyNames::hyprlandKeys(s.binding) +
                         QStringLiteral(", exec, ") + command;
        else
            lines << command + QStringLiteral("    # ") + s.title + QStringLiteral(", ") +
                         s.binding.displayString();
    }
    return lines.join(QLatin1Char('\n'));
}

GlobalShortcuts::Session GlobalShortcuts::currentSession() {
    Session s;
    s.wayland = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    s.x11 = qGuiApp && qGuiApp->nativeInterface<QNativeInterface::QX11Application>() &&
            qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    s.desktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP");
    // Only worth a round trip on Wayland, where X11 grabs miss native windows.
    if (s.wayland)
        s.portal = PortalGlobalShortcuts::isOffered(QDBusConnection::sessionBus());
    if (s.wayland && s.portal && isGnome(s.desktop)) {
        QDBusMessage get = QDBusMessage::createMethodCall(
            QStringLiteral("org.gnome.Shell"), QStringLiteral("/org/gnome/Shell"),
            QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        get << QStringLiteral("org.gnome.Shell") << QStringLiteral("ShellVersion");
        const QDBusMessage reply = QDBusConnection::sessionBus().call(get, QDBus::Block, 1000);
        s.gnomeShell = reply.arguments()
                           .value(0)
                           .value<QDBusVariant>()
                           .variant()
                           .toString()
                           .section(QLatin1Char('.'), 0, 0)
                           .toInt();
    }
    return s;
}

GlobalShortcuts::Kind GlobalShortcuts::choose(const Session &s) {
    if (s.wayland) {
        // GNOME's own portal binds global shortcuts from GNOME 48 on.
        // Before that a portal that offers them hands them to another
        // desktop's backend (KDE's, when installed), which takes them and
        // never fires; GNOME's keyboard settings do work there.
        const bool gnome = isGnome(s.desktop);
        if (s.portal && (!gnome || s.gnomeShell >= 48))
            return Kind::portal;
        if (gnome)
            return Kind::gnomeKeybindings;
        return Kind::bindLines;
    }
    return s.x11 ? Kind::x11Grabs : Kind::none;
}

std::unique_ptr<GlobalShortcuts> GlobalShortcuts::create() {
    switch (choose(currentSession())) {
    case Kind::x11Grabs:
        return std::make_unique<X11GlobalShortcuts>(
            qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection());
    case Kind::portal:
        return std::make_unique<PortalGlobalShortcuts>(QDBusConnection::sessionBus());
    case Kind::gnomeKeybindings:
        return std::make_unique<GnomeKeybindings>();
    case Kind::bindLines:
        return std::make_unique<UnavailableGlobalShortcuts>(Kind::bindLines);
    case Kind::none:
        break;
    }
    return std::make_unique<UnavailableGlobalShortcuts>();
}

bool GlobalShortcuts::install(QString *error) {
    if (error)
        *error = QStringLiteral("this desktop's keyboard settings do not hold Orvell's shortcuts");
    return false;
}

bool GlobalShortcuts::remove(QString *error) {
    return install(error);
}

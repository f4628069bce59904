#include "Orvell/bus/AppBus.h"
#include "Orvell/core/AppEnvironment.h"
#include "Orvell/Application.h"
#include "Platform/shortcuts/GlobalShortcuts.h"
#include "Platform/audio/MicrophoneSource.h"
#include "Platform/session/SingleInstance.h"
#include "Platform/session/XdgAutostart.h"
#include "base/AppIdentity.h"
#include "import/DocumentConverter.h"
#include "settings/PreferenceKeys.h"

#include <QApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2];

// Ctrl+C or a logout's SIGTERM quits through the event loop, so pending
// script edits are written before the process ends.
void quitOnSignals() {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [] {
        char c;
        [[maybe_unused]] const auto n = ::read(signalPipe[1], &c, 1);
        QCoreApplication::quit();
    });
    struct sigaction action {};
    action.sa_handler = [](int) {
        const char c = 1;
        [[maybe_unused]] const auto n = ::write(signalPipe[0], &c, 1);
    };
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

} // namespace

int main(int argc, char *argv[]) {
    // Imports convert rich documents in a child process: this program again.
    if (argc == 4 && std::strcmp(argv[1], "convert-document") == 0) {
        QCoreApplication converter(argc, argv);
        return DocumentConverter::runChild(QString::fromLocal8Bit(argv[2]),
                                           QString::fromLocal8Bit(argv[3]));
    }
    // The island must sit over the top panel, which only the X11 window
    // protocol allows; on a Wayland session that is XWayland.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    QApplication::setApplicationName(AppIdentity::displayName);
    QApplication::setDesktopFileName(AppIdentity::appId);
    QApplication::setQuitOnLastWindowClosed(false);
    quitOnSignals();

    // Before the library is opened: a second start must not touch it.
    SingleInstance instance;
    switch (instance.claim()) {
    case SingleInstance::Claim::first:
        break;
    case SingleInstance::Claim::forwarded:
        return 0;
    case SingleInstance::Claim::alreadyRunning:
        std::fprintf(stderr, "%s\n", qPrintable(SingleInstance::alreadyRunningMessage()));
        return 0;
    }

    AppEnvironment::Services services;
    services.settings = SettingsStore::openUserStore();
    services.autostart = std::make_unique<XdgAutostart>();
    services.shortcuts = GlobalShortcuts::create();
    services.loadLibraryInBackground = true;
    // The microphone chosen in the settings, read each time listening starts.
    services.microphone = [settings = services.settings.get()] {
        return std::unique_ptr<AudioSource>(
            new MicrophoneSource(settings->stringValue(PreferenceKeys::voiceFollowMicrophone)));
    };
    AppEnvironment env(std::move(services));
    Application orvell(env);
    orvell.launch();
    AppBus bus(env);
    bus.onShowLibrary = [&orvell] { orvell.comeForward(); };
    bus.publish(QDBusConnection::sessionBus());
    return app.exec();
}

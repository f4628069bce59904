#include "AppEnvironment.h"
#include "Application.h"
#include "GlobalShortcuts.h"
#include "MicrophoneSource.h"
#include "XdgAutostartLoginItem.h"
#include "base/AppIdentity.h"

#include <QApplication>
#include <QSocketNotifier>

#include <csignal>
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
    // The island must sit over the top panel, which only the X11 window
    // protocol allows; on a Wayland session that is XWayland.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    QApplication::setApplicationName(AppIdentity::displayName);
    QApplication::setDesktopFileName(AppIdentity::appId);
    QApplication::setQuitOnLastWindowClosed(false);
    quitOnSignals();

    AppEnvironment::Services services;
    services.settings = SettingsStore::openUserStore();
    services.loginItem = std::make_unique<XdgAutostartLoginItem>();
    services.shortcuts = GlobalShortcuts::create();
    services.microphone = [] { return std::unique_ptr<AudioSource>(new MicrophoneSource); };
    AppEnvironment env(std::move(services));
    Application orvell(env);
    orvell.launch();
    return app.exec();
}

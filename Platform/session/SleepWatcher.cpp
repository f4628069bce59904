#include "Platform/session/SleepWatcher.h"

SleepWatcher::SleepWatcher(QDBusConnection bus, QObject *parent)
    : QObject(parent) {
    if (!bus.isConnected())
        return;
    // Any sender may claim the signal's name only if it owns logind's name,
    // which the bus grants to logind alone.
    m_watching = bus.connect(QStringLiteral("org.freedesktop.login1"),
                             QStringLiteral("/org/freedesktop/login1"),
                             QStringLiteral("org.freedesktop.login1.Manager"),
                             QStringLiteral("PrepareForSleep"), this,
                             SLOT(prepareForSleep(bool)));
}

void SleepWatcher::prepareForSleep(bool sleeping) {
    if (!sleeping)
        emit resumed();
}

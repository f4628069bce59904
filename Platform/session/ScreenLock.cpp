#include "Platform/session/ScreenLock.h"

#include "Platform/x11/X11Window.h"

#include <QDBusConnection>
#include <QDBusMessage>

namespace {
const QString service = QStringLiteral("org.freedesktop.ScreenSaver");
const QString path = QStringLiteral("/org/freedesktop/ScreenSaver");
} // namespace

ScreenLock::ScreenLock(QObject *parent)
    : QObject(parent) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    bus.connect(service, path, service, QStringLiteral("ActiveChanged"), this,
                SLOT(sessionActiveChanged(bool)));
    const QDBusMessage reply = bus.call(
        QDBusMessage::createMethodCall(service, path, service, QStringLiteral("GetActive")),
        QDBus::Block, 1000);
    if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
        m_service = true;
        m_sessionActive = reply.arguments().first().toBool();
    }
}

bool ScreenLock::isActive() const {
    return m_sessionActive || X11Window::screenSaverOn();
}

void ScreenLock::sessionActiveChanged(bool active) {
    m_service = true;
    if (active == m_sessionActive)
        return;
    m_sessionActive = active;
    emit activeChanged(active);
}

#include "RunningApp.h"

#include "base/AppIdentity.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>

namespace RunningApp {

bool isRunning() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface() &&
           bus.interface()->isServiceRegistered(AppIdentity::appId).value();
}

std::optional<QVariantList> call(const QString &method, const QVariantList &args, int timeoutMs,
                                 QString *why) {
    if (!isRunning()) {
        if (why)
            *why = notRunningMessage();
        return std::nullopt;
    }
    QDBusMessage message = QDBusMessage::createMethodCall(AppIdentity::appId, AppIdentity::busPath,
                                                          AppIdentity::appId, method);
    message.setArguments(args);
    const QDBusMessage reply = QDBusConnection::sessionBus().call(message, QDBus::Block, timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        if (why)
            *why = reply.errorName() == u"org.freedesktop.DBus.Error.ServiceUnknown"
                       ? notRunningMessage()
                       : reply.errorMessage();
        return std::nullopt;
    }
    return reply.arguments();
}

} // namespace RunningApp

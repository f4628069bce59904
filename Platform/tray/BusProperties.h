#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QStringList>

#include <functional>

// org.freedesktop.DBus.Properties for a hand-written bus object whose
// properties are all read-only: Get, GetAll, and a refused Set. False when
// the message is for another interface.
inline bool answerPropertyCall(const QDBusMessage &message, const QDBusConnection &connection,
                               const QStringList &names,
                               const std::function<QVariant(const QString &)> &value) {
    if (message.interface() != QLatin1StringView("org.freedesktop.DBus.Properties"))
        return false;
    const QString member = message.member();
    const QVariantList args = message.arguments();
    if (member == QLatin1StringView("GetAll")) {
        QVariantMap all;
        for (const QString &name : names)
            all.insert(name, value(name));
        connection.send(message.createReply(QVariant::fromValue(all)));
    } else if (member == QLatin1StringView("Get") && args.size() == 2) {
        const QString name = args.at(1).toString();
        connection.send(names.contains(name)
                            ? message.createReply(QVariant::fromValue(QDBusVariant(value(name))))
                            : message.createErrorReply(QDBusError::UnknownProperty,
                                                       QStringLiteral("No property ") + name));
    } else if (member == QLatin1StringView("Set")) {
        connection.send(
            message.createErrorReply(QDBusError::PropertyReadOnly, QStringLiteral("Read-only")));
    } else {
        return false;
    }
    return true;
}

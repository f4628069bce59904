#include "Platform/session/ColorScheme.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace colorscheme {

const QString portal = QStringLiteral("org.freedesktop.portal.Desktop");
const QString path = QStringLiteral("/org/freedesktop/portal/desktop");
const QString settings = QStringLiteral("org.freedesktop.portal.Settings");
const QString group = QStringLiteral("org.freedesktop.appearance");
const QString key = QStringLiteral("color-scheme");

} // namespace colorscheme


ColorScheme::ColorScheme(QDBusConnection bus, QObject *parent)
    : QObject(parent) {
    if (!bus.isConnected())
        return;
    // Only the portal's own name may send this signal's changes.
    bus.connect(colorscheme::portal, colorscheme::path, colorscheme::settings, QStringLiteral("SettingChanged"), this,
                SLOT(settingChanged(QString, QString, QDBusVariant)));
    QDBusMessage read = QDBusMessage::createMethodCall(colorscheme::portal, colorscheme::path, colorscheme::settings, QStringLiteral("Read"));
    read << colorscheme::group << colorscheme::key;
    // Asked without waiting: a desktop without the portal leaves Qt's own colours.
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(read, 3000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        watcher->deleteLater();
        const QDBusMessage reply = watcher->reply();
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
            set(fromPortal(reply.arguments().first()));
    });
}

ColorScheme::Preference ColorScheme::fromPortal(const QVariant &value) {
    // Read wraps the value in a variant, older portals once more.
    QVariant v = value;
    for (int depth = 0; depth < 3 && v.canConvert<QDBusVariant>() &&
                        v.metaType() == QMetaType::fromType<QDBusVariant>();
         ++depth)
        v = v.value<QDBusVariant>().variant();
    bool ok = false;
    const uint scheme = v.toUInt(&ok);
    if (!ok || v.metaType() != QMetaType::fromType<uint>())
        return Preference::none;
    return scheme == 1 ? Preference::dark : scheme == 2 ? Preference::light : Preference::none;
}

void ColorScheme::settingChanged(const QString &changedGroup, const QString &changedKey,
                                 const QDBusVariant &value) {
    if (changedGroup == colorscheme::group && changedKey == colorscheme::key)
        set(fromPortal(value.variant()));
}

void ColorScheme::set(Preference preference) {
    if (preference == m_preference)
        return;
    m_preference = preference;
    emit changed();
}

#include "Platform/session/ScreenAwake.h"

#include "base/AppIdentity.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QPointer>

namespace {
const QString portal = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString portalInhibit = QStringLiteral("org.freedesktop.portal.Inhibit");
const QString screenSaver = QStringLiteral("org.freedesktop.ScreenSaver");
const QString screenSaverPath = QStringLiteral("/org/freedesktop/ScreenSaver");
const QString gnomeSession = QStringLiteral("org.gnome.SessionManager");
const QString gnomeSessionPath = QStringLiteral("/org/gnome/SessionManager");
// GNOME's flag for "do not mark the session idle".
constexpr quint32 inhibitIdle = 8;
const QString reason = QStringLiteral("Reading a script");
// A screen saver that does not answer in this time is taken as absent.
constexpr int answerMs = 3000;
} // namespace

ScreenAwake::ScreenAwake(QDBusConnection bus, QObject *parent)
    : QObject(parent)
    , m_bus(std::move(bus)) {}

ScreenAwake::~ScreenAwake() {
    m_wanted = false;
    release();
}

void ScreenAwake::setHeld(bool held) {
    m_wanted = held;
    if (m_asking)
        return; // the answer decides
    if (held && !isHeld())
        ask(Service::portal);
    else if (!held && isHeld())
        release();
}

void ScreenAwake::ask(Service service) {
    if (!m_bus.isConnected()) {
        setProblem(QStringLiteral("The screen may dim while you read: there is no session bus."));
        return;
    }
    m_service = service;
    QDBusMessage call;
    switch (service) {
    case Service::portal:
        // Flag 8: the session is not to go idle.
        call = QDBusMessage::createMethodCall(portal, portalPath, portalInhibit,
                                              QStringLiteral("Inhibit"));
        call << QString() << inhibitIdle
             << QVariantMap{{QStringLiteral("reason"), reason}};
        break;
    case Service::screenSaver:
        call = QDBusMessage::createMethodCall(screenSaver, screenSaverPath, screenSaver,
                                              QStringLiteral("Inhibit"));
        call << QStringLiteral("Orvell") << reason;
        break;
    case Service::gnomeSession:
        call = QDBusMessage::createMethodCall(gnomeSession, gnomeSessionPath, gnomeSession,
                                              QStringLiteral("Inhibit"));
        call << QString(AppIdentity::appId) << quint32(0) << reason << inhibitIdle;
        break;
    }
    m_asking = true;
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, answerMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, service](auto *w) {
        w->deleteLater();
        m_asking = false;
        const QDBusMessage reply = w->reply();
        const QVariant answer = reply.arguments().value(0);
        const bool ok = reply.type() == QDBusMessage::ReplyMessage &&
                        (service == Service::portal
                             ? answer.canConvert<QDBusObjectPath>()
                             : answer.metaType() == QMetaType::fromType<uint>());
        if (!ok) {
            if (service != Service::gnomeSession)
                return ask(service == Service::portal ? Service::screenSaver
                                                      : Service::gnomeSession);
            setProblem(QStringLiteral("The screen may dim while you read: the desktop did not "
                                      "let Orvell keep it awake (%1).")
                           .arg(reply.errorMessage().isEmpty() ? QStringLiteral("no answer")
                                                               : reply.errorMessage()));
            return;
        }
        if (service == Service::portal)
            m_request = answer.value<QDBusObjectPath>().path();
        else
            m_cookie = answer.toUInt();
        setProblem(QString());
        emit heldChanged();
        // Paused while the desktop was answering.
        if (!m_wanted)
            release();
    });
}

void ScreenAwake::release() {
    if (!isHeld())
        return;
    QDBusMessage call;
    if (!m_request.isEmpty()) {
        call = QDBusMessage::createMethodCall(portal, m_request,
                                              QStringLiteral("org.freedesktop.portal.Request"),
                                              QStringLiteral("Close"));
    } else if (m_service == Service::screenSaver) {
        call = QDBusMessage::createMethodCall(screenSaver, screenSaverPath, screenSaver,
                                              QStringLiteral("UnInhibit"));
        call << *m_cookie;
    } else {
        call = QDBusMessage::createMethodCall(gnomeSession, gnomeSessionPath, gnomeSession,
                                              QStringLiteral("Uninhibit"));
        call << *m_cookie;
    }
    m_cookie.reset();
    m_request.clear();
    // Sent at once, also from the destructor at quit: the desktop drops a
    // hold whose owner left the bus anyway.
    m_bus.send(call);
    emit heldChanged();
}

void ScreenAwake::setProblem(const QString &problem) {
    if (problem == m_problem)
        return;
    m_problem = problem;
    emit problemChanged();
}

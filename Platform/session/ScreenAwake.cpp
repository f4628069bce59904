#include "Platform/session/ScreenAwake.h"

#include "base/AppIdentity.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QPointer>

namespace {
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
    if (held && !m_cookie)
        ask(Service::screenSaver);
    else if (!held && m_cookie)
        release();
}

void ScreenAwake::ask(Service service) {
    if (!m_bus.isConnected()) {
        setProblem(QStringLiteral("The screen may dim while you read: there is no session bus."));
        return;
    }
    m_service = service;
    QDBusMessage call =
        service == Service::screenSaver
            ? QDBusMessage::createMethodCall(screenSaver, screenSaverPath, screenSaver,
                                             QStringLiteral("Inhibit"))
            : QDBusMessage::createMethodCall(gnomeSession, gnomeSessionPath, gnomeSession,
                                             QStringLiteral("Inhibit"));
    if (service == Service::screenSaver)
        call << QStringLiteral("Orvell") << reason;
    else
        call << QString(AppIdentity::appId) << quint32(0) << reason << inhibitIdle;
    m_asking = true;
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, answerMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, service](auto *w) {
        w->deleteLater();
        m_asking = false;
        const QDBusPendingReply<quint32> reply = *w;
        if (reply.isError()) {
            if (service == Service::screenSaver)
                return ask(Service::gnomeSession);
            setProblem(QStringLiteral("The screen may dim while you read: the desktop did not "
                                      "let Orvell keep it awake (%1).")
                           .arg(reply.error().message()));
            return;
        }
        m_cookie = reply.value();
        setProblem(QString());
        emit heldChanged();
        // Paused while the desktop was answering.
        if (!m_wanted)
            release();
    });
}

void ScreenAwake::release() {
    if (!m_cookie)
        return;
    const quint32 cookie = *m_cookie;
    m_cookie.reset();
    QDBusMessage call =
        m_service == Service::screenSaver
            ? QDBusMessage::createMethodCall(screenSaver, screenSaverPath, screenSaver,
                                             QStringLiteral("UnInhibit"))
            : QDBusMessage::createMethodCall(gnomeSession, gnomeSessionPath, gnomeSession,
                                             QStringLiteral("Uninhibit"));
    call << cookie;
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

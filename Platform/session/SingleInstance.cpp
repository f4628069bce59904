#include "Platform/session/SingleInstance.h"

#include "base/AppIdentity.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

SingleInstance::~SingleInstance() {
    if (m_lockFd >= 0)
        ::close(m_lockFd);
}

QString SingleInstance::runtimeLockPath() {
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::tempPath();
    return folder + QLatin1Char('/') + AppIdentity::appId + QStringLiteral("-") +
           QString::number(::getuid()) + QStringLiteral(".lock");
}

SingleInstance::Claim SingleInstance::claim() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return claimLock();
    const auto reply = bus.interface()->registerService(
        AppIdentity::appId, QDBusConnectionInterface::DontQueueService,
        QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered)
        return Claim::first;
    QDBusMessage call =
        QDBusMessage::createMethodCall(AppIdentity::appId, AppIdentity::busPath, AppIdentity::appId,
                                       QStringLiteral("ShowLibrary"));
    const QDBusMessage answer = bus.call(call, QDBus::Block, 3000);
    return answer.type() == QDBusMessage::ReplyMessage ? Claim::forwarded : Claim::alreadyRunning;
}

SingleInstance::Claim SingleInstance::claimLock() {
    const QByteArray path = QFile::encodeName(runtimeLockPath());
    m_lockFd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_lockFd < 0)
        return Claim::first; // nowhere to keep a lock: better two than none
    if (::flock(m_lockFd, LOCK_EX | LOCK_NB) != 0) {
        ::close(m_lockFd);
        m_lockFd = -1;
        return Claim::alreadyRunning;
    }
    return Claim::first;
}

#include "library/LibraryLock.h"

#include "base/AtomicFile.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

int openLockFile(const QString &root, int flags) {
    const QByteArray path = QFile::encodeName(LibraryLock::path(root));
    return ::open(path.constData(), flags | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644);
}

std::optional<qint64> pidIn(int fd) {
    char buffer[32] = {};
    const ssize_t n = ::pread(fd, buffer, sizeof buffer - 1, 0);
    if (n <= 0)
        return std::nullopt;
    bool ok = false;
    const qint64 pid = QByteArray(buffer, static_cast<int>(n)).trimmed().toLongLong(&ok);
    return ok && pid > 0 ? std::optional<qint64>(pid) : std::nullopt;
}

} // namespace

LibraryLock::LibraryLock(int fd)
    : m_fd(fd) {}

LibraryLock::~LibraryLock() {
    if (m_fd >= 0) {
        // Emptied first, so nobody reads a stale process id after we let go.
        [[maybe_unused]] const int r = ::ftruncate(m_fd, 0);
        ::flock(m_fd, LOCK_UN);
        ::close(m_fd);
    }
}

QString LibraryLock::path(const QString &root) {
    return root + QStringLiteral("/library.lock");
}

std::unique_ptr<LibraryLock> LibraryLock::tryAcquire(const QString &root, QString *why,
                                                     Refusal *refusal) {
    const auto unusable = [&](const QString &reason) -> std::unique_ptr<LibraryLock> {
        if (why)
            *why = unusableFolderReason(root, reason);
        if (refusal)
            *refusal = Refusal::unusableFolder;
        return nullptr;
    };
    QString reason;
    if (!AtomicFile::makeFolder(root, &reason))
        return unusable(reason);
    const int fd = openLockFile(root, O_RDWR | O_CREAT);
    if (fd < 0)
        return unusable(QString::fromLocal8Bit(std::strerror(errno)));
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const auto pid = pidIn(fd);
        ::close(fd);
        if (why)
            *why = inUseReason(pid);
        if (refusal)
            *refusal = Refusal::inUse;
        return nullptr;
    }
    const QByteArray pid = QByteArray::number(static_cast<qint64>(::getpid())) + '\n';
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, pid.constData(), pid.size(), 0) != pid.size()) {
        // The lock holds without the note; only the sentences of others lose the pid.
    }
    return std::unique_ptr<LibraryLock>(new LibraryLock(fd));
}

std::optional<qint64> LibraryLock::holder(const QString &root) {
    const int fd = openLockFile(root, O_RDONLY);
    if (fd < 0)
        return std::nullopt;
    std::optional<qint64> pid;
    if (::flock(fd, LOCK_SH | LOCK_NB) == 0)
        ::flock(fd, LOCK_UN);
    else
        pid = pidIn(fd).value_or(0);
    ::close(fd);
    return pid;
}

QString LibraryLock::unusableFolderReason(const QString &root, const QString &systemReason) {
    return QStringLiteral("Orvell cannot use its library folder %1: %2")
        .arg(QDir::toNativeSeparators(root), systemReason);
}

QString LibraryLock::inUseReason(std::optional<qint64> pid) {
    return pid && *pid > 0
               ? QStringLiteral("the library is in use by another program (process %1)").arg(*pid)
               : QStringLiteral("the library is in use by another program");
}

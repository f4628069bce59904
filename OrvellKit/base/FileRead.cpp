#include "base/FileRead.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace FileRead {

namespace {

Failure fromErrno(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return Failure::notFound;
    case EACCES:
    case EPERM:
        return Failure::permissionDenied;
    default:
        return Failure::readError;
    }
}

QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Opens without blocking (a FIFO with no writer would wait forever) and
// keeps the descriptor only for a regular file within the limit.
int openChecked(const QString &path, qint64 maxBytes, Failure *failure, QString *reason,
                qint64 *size) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        *failure = fromErrno(error);
        if (reason)
            *reason = systemReason(error);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        *failure = Failure::notRegularFile;
        if (reason)
            *reason = QStringLiteral("not a regular file");
        return -1;
    }
    if (st.st_size > maxBytes) {
        ::close(fd);
        *failure = Failure::tooLarge;
        if (reason)
            *reason = QStringLiteral("larger than %1 bytes").arg(maxBytes);
        return -1;
    }
    *size = st.st_size;
    *failure = Failure::none;
    return fd;
}

} // namespace

Failure check(const QString &path, qint64 maxBytes, QString *reason) {
    Failure failure = Failure::none;
    qint64 size = 0;
    const int fd = openChecked(path, maxBytes, &failure, reason, &size);
    if (fd >= 0)
        ::close(fd);
    return failure;
}

Result regular(const QString &path, qint64 maxBytes) {
    Result result;
    qint64 size = 0;
    const int fd = openChecked(path, maxBytes, &result.failure, &result.reason, &size);
    if (fd < 0)
        return result;
    QByteArray bytes;
    bytes.reserve(static_cast<qsizetype>(size));
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            result.failure = Failure::readError;
            result.reason = systemReason(errno);
            ::close(fd);
            return result;
        }
        if (n == 0)
            break;
        // A file that grows while it is read is still held to the limit.
        if (bytes.size() + n > maxBytes) {
            result.failure = Failure::tooLarge;
            result.reason = QStringLiteral("larger than %1 bytes").arg(maxBytes);
            ::close(fd);
            return result;
        }
        bytes.append(buffer, n);
    }
    ::close(fd);
    result.bytes = std::move(bytes);
    return result;
}

} // namespace FileRead

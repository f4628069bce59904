#include "base/AtomicFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace AtomicFile {

namespace {

constexpr char temporaryMarker[] = ".orvell-tmp-";

QString systemError(int code) {
    return QString::fromLocal8Bit(std::strerror(code));
}

bool writeAll(int fd, const QByteArray &bytes) {
    const char *p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

void syncFolder(const QByteArray &folder) {
    // Without this a power cut can forget the rename even though the data
    // reached the disk. Some file systems refuse it; the rename stands anyway.
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

bool isTemporaryName(const QString &fileName) {
    return fileName.startsWith(QLatin1Char('.')) &&
           fileName.contains(QLatin1StringView(temporaryMarker));
}

bool write(const QString &path, const QByteArray &bytes, QString *error) {
    const QFileInfo info(path);
    const QByteArray folder = QFile::encodeName(info.absolutePath());
    const QByteArray target = QFile::encodeName(info.absoluteFilePath());
    QByteArray temporary =
        folder + '/' + '.' + QFile::encodeName(info.fileName()) + temporaryMarker + "XXXXXX";

    const auto fail = [&](int code, int fd) {
        if (fd >= 0)
            ::close(fd);
        ::unlink(temporary.constData());
        if (error)
            *error = systemError(code);
        return false;
    };

    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        const int code = errno;
        if (error)
            *error = systemError(code);
        return false;
    }
    // Keep the permissions of the file being replaced; a new file gets the
    // usual user-data mode.
    struct stat existing {};
    const mode_t mode =
        ::stat(target.constData(), &existing) == 0 ? existing.st_mode & 07777 : 0644;
    ::fchmod(fd, mode);

    if (!writeAll(fd, bytes))
        return fail(errno, fd);
    if (::fsync(fd) != 0)
        return fail(errno, fd);
    if (::close(fd) != 0)
        return fail(errno, -1);
    if (::rename(temporary.constData(), target.constData()) != 0)
        return fail(errno, -1);
    syncFolder(folder);
    return true;
}

} // namespace AtomicFile

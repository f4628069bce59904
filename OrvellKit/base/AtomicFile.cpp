#include "base/AtomicFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace AtomicFile {

namespace {

constexpr char temporaryMarker[] = ".orvell-tmp-";

std::mutex faultMutex;
Fault injectedFault;

int faultFor(const QString &path) {
    std::lock_guard lock(faultMutex);
    return injectedFault ? injectedFault(path) : 0;
}

QString systemError(int code) {
    return QString::fromLocal8Bit(std::strerror(code));
}

bool writeBytes(int fd, const QByteArray &bytes) {
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

// A hidden temporary beside the target, with the target's permissions (a
// new file gets the usual user-data mode); -1 with errno on failure.
int openTemporary(const QString &path, QByteArray *temporary) {
    const QFileInfo info(path);
    *temporary = QFile::encodeName(info.absolutePath()) + '/' + '.' +
                 QFile::encodeName(info.fileName()) + temporaryMarker + "XXXXXX";
    if (const int injected = faultFor(info.absoluteFilePath())) {
        errno = injected;
        return -1;
    }
    const int fd = ::mkostemp(temporary->data(), O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat existing {};
    const QByteArray target = QFile::encodeName(info.absoluteFilePath());
    ::fchmod(fd, ::stat(target.constData(), &existing) == 0 ? existing.st_mode & 07777 : 0644);
    return fd;
}

} // namespace

bool isTemporaryName(const QString &fileName) {
    return fileName.startsWith(QLatin1Char('.')) &&
           fileName.contains(QLatin1StringView(temporaryMarker));
}

void setFaultForTesting(Fault fault) {
    std::lock_guard lock(faultMutex);
    injectedFault = std::move(fault);
}

bool makeFolder(const QString &path, QString *error) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    // Each missing part from the top down, so the reason names what really
    // failed: a file in the way, a read-only disk, a full one.
    qsizetype slash = 0;
    while (slash >= 0) {
        slash = absolute.indexOf(QLatin1Char('/'), slash + 1);
        const QString part = slash < 0 ? absolute : absolute.left(slash);
        const QByteArray name = QFile::encodeName(part);
        struct stat st {};
        if (::stat(name.constData(), &st) == 0) {
            if (S_ISDIR(st.st_mode))
                continue;
            if (error)
                *error = systemError(ENOTDIR);
            return false;
        }
        const int injected = faultFor(part);
        if (injected || (::mkdir(name.constData(), 0755) != 0 && errno != EEXIST)) {
            if (error)
                *error = systemError(injected ? injected : errno);
            return false;
        }
    }
    return true;
}

bool write(const QString &path, const QByteArray &bytes, QString *error) {
    const QFileInfo info(path);
    QByteArray temporary;
    const auto fail = [&](int code, int fd) {
        if (fd >= 0)
            ::close(fd);
        ::unlink(temporary.constData());
        if (error)
            *error = systemError(code);
        return false;
    };
    const int fd = openTemporary(path, &temporary);
    if (fd < 0) {
        if (error)
            *error = systemError(errno);
        return false;
    }
    if (!writeBytes(fd, bytes))
        return fail(errno, fd);
    if (::fsync(fd) != 0)
        return fail(errno, fd);
    if (::close(fd) != 0)
        return fail(errno, -1);
    if (::rename(temporary.constData(), QFile::encodeName(info.absoluteFilePath()).constData()) !=
        0)
        return fail(errno, -1);
    syncFolder(QFile::encodeName(info.absolutePath()));
    return true;
}

void writeAll(std::vector<Item> &items) {
    struct Open {
        Item *item;
        QByteArray temporary;
        int fd;
    };
    std::vector<Open> open;
    open.reserve(items.size());
    const auto fail = [](Open &o, int code) {
        if (o.fd >= 0)
            ::close(o.fd);
        o.fd = -1;
        ::unlink(o.temporary.constData());
        o.item->written = false;
        o.item->error = systemError(code);
    };
    for (Item &item : items) {
        Open o{&item, {}, openTemporary(item.path, &o.temporary)};
        if (o.fd < 0) {
            fail(o, errno);
            continue;
        }
        if (!writeBytes(o.fd, item.bytes)) {
            fail(o, errno);
            continue;
        }
        open.push_back(std::move(o));
    }
    if (open.empty())
        return;
    // One flush for every file's data before any of them replaces its
    // target: a crash leaves old files and temporaries, never an empty file.
    if (::syncfs(open.front().fd) != 0) {
        const int code = errno;
        for (Open &o : open)
            fail(o, code);
        return;
    }
    QList<QByteArray> folders;
    for (Open &o : open) {
        if (::close(o.fd) != 0) {
            o.fd = -1;
            fail(o, errno);
            continue;
        }
        o.fd = -1;
        const QFileInfo info(o.item->path);
        if (::rename(o.temporary.constData(), QFile::encodeName(info.absoluteFilePath()).constData()) !=
            0) {
            fail(o, errno);
            continue;
        }
        o.item->written = true;
        o.item->error.clear();
        const QByteArray folder = QFile::encodeName(info.absolutePath());
        if (!folders.contains(folder))
            folders << folder;
    }
    for (const QByteArray &folder : folders)
        syncFolder(folder);
}

} // namespace AtomicFile

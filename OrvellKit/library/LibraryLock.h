#pragma once

#include <QString>

#include <memory>
#include <optional>

// Who may write the library folder: whoever holds `library.lock` in it (an
// flock, so the kernel lets go of it when its holder dies). The app holds it
// for its life, orvell-cli for one command; the holder's process id is written
// in the file so others can say who has it.
class LibraryLock {
public:
    ~LibraryLock();
    LibraryLock(const LibraryLock &) = delete;
    LibraryLock &operator=(const LibraryLock &) = delete;

    static QString path(const QString &root);

    // Why the lock was not had: another writer has it, or the folder itself
    // cannot be used (a file in its place, a read-only or full disk).
    enum class Refusal { inUse, unusableFolder };

    // Takes the lock without waiting, creating the folder and the file if
    // need be; nothing when another holds it or the folder cannot be used,
    // with a clause in `why` (no final period) and the kind in `refusal`.
    static std::unique_ptr<LibraryLock> tryAcquire(const QString &root, QString *why = nullptr,
                                                   Refusal *refusal = nullptr);
    // The process holding the lock, if anyone does.
    static std::optional<qint64> holder(const QString &root);
    // "the library is in use by another program (process 123)": why a writer
    // without the lock did not write.
    static QString inUseReason(std::optional<qint64> pid);
    // "Orvell cannot use its library folder PATH: Not a directory".
    static QString unusableFolderReason(const QString &root, const QString &systemReason);

private:
    explicit LibraryLock(int fd);
    int m_fd = -1;
};

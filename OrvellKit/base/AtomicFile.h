#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <vector>

// Replaces a file so that a crash or power cut at any moment leaves either
// the old content or the new, never a mix: the bytes go to a hidden
// temporary file in the same folder, reach the disk, are renamed over the
// target, and the folder's new entry reaches the disk too.
namespace AtomicFile {
// On failure returns false with the system's reason in *error; the target
// is untouched and no temporary file is left behind.
bool write(const QString &path, const QByteArray &bytes, QString *error);
// Many files written as write() writes one, each replaced whole or not at
// all, with one flush of the disk for all of them instead of two a file:
// thousands of small files in a second rather than a quarter of a minute.
struct Item {
    QString path;
    QByteArray bytes;
    bool written = false;
    QString error; // the system's reason when not written
};
void writeAll(std::vector<Item> &items);
// True for the temporary files write() uses, so a folder listing can skip
// or clean up the ones a crash left behind.
bool isTemporaryName(const QString &fileName);
// Creates a folder and any missing parents; on failure false with the
// system's reason for the first part that could not be made ("Not a
// directory", "Read-only file system"). Existing folders are fine.
bool makeFolder(const QString &path, QString *error);

// Tests make chosen writes fail as a full or read-only disk would: the
// function gets each path about to be written or created and returns an
// errno (ENOSPC, EROFS, ENOTDIR…) to fail with, or 0 to go ahead. It is
// called from whichever thread writes. Empty by default.
using Fault = std::function<int(const QString &path)>;
void setFaultForTesting(Fault fault);
} // namespace AtomicFile

#pragma once

#include <QByteArray>
#include <QString>

// Replaces a file so that a crash or power cut at any moment leaves either
// the old content or the new, never a mix: the bytes go to a hidden
// temporary file in the same folder, reach the disk, are renamed over the
// target, and the folder's new entry reaches the disk too.
namespace AtomicFile {
// On failure returns false with the system's reason in *error; the target
// is untouched and no temporary file is left behind.
bool write(const QString &path, const QByteArray &bytes, QString *error);
// True for the temporary files write() uses, so a folder listing can skip
// or clean up the ones a crash left behind.
bool isTemporaryName(const QString &fileName);
} // namespace AtomicFile

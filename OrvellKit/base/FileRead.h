#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Reading a file that came from outside: only a regular file is read (a FIFO
// or a device is refused after opening it without blocking), and never more
// than a limit, so a hostile path can neither hang the reader nor fill memory.
namespace FileRead {

enum class Failure { none, notFound, permissionDenied, notRegularFile, tooLarge, readError };

struct Result {
    std::optional<QByteArray> bytes;
    Failure failure = Failure::none;
    QString reason; // the system's words, for logs and sentences
};

Result regular(const QString &path, qint64 maxBytes);
// The same checks without reading: a regular file of at most maxBytes that
// can be opened.
Failure check(const QString &path, qint64 maxBytes, QString *reason = nullptr);

} // namespace FileRead

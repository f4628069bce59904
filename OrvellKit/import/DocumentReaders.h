#pragma once

#include "import/ScriptImporter.h"

#include <QByteArray>
#include <QString>

#include <optional>

// Readers of our own for rich documents, each from the file's bytes to the
// plain text a reader expects: paragraphs as lines, tabs and table cells as
// tabs, nothing from headers, footers, comments, notes, field codes or
// deleted revisions. They run in a separate process in the app, so a
// damaged file can neither hang nor crash it; they still refuse input that
// is too large or too deeply nested.
namespace DocumentReaders {
// Text bigger than this (in UTF-16 units) or an archive member bigger than
// this (in bytes) is treated as damaged.
inline constexpr qsizetype maxSize = 64 * 1024 * 1024;

std::optional<QString> rtf(const QByteArray &bytes);
std::optional<QString> docx(const QByteArray &zipBytes);
std::optional<QString> wordML(const QByteArray &xml);
std::optional<QString> odt(const QByteArray &zipBytes);
// The text of an OpenDocument content.xml.
std::optional<QString> odtContent(const QByteArray &xml);
std::optional<QString> word97(const QByteArray &bytes);

// The text of the file at `path` (an .rtfd is a folder holding TXT.rtf).
std::optional<QString> read(const QString &path, DocumentType type);

// One member of a zip archive, at most maxSize bytes; nothing when missing or damaged.
std::optional<QByteArray> zipMember(const QByteArray &zipBytes, const char *name);
} // namespace DocumentReaders

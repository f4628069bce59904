#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <utility>
#include <vector>

// A file turned into a script: its title and plain text.
struct ImportedScript {
    QString title;
    QString body;
    QString sourcePath;
    bool operator==(const ImportedScript &) const = default;
};

// Why a file could not be imported, in the sentences the library shows.
struct ScriptImportError {
    enum class Kind {
        unsupportedFormat,
        unreadable,
        timedOut,
        emptyDocument,
        notFound,
        permissionDenied,
        notText,
        tooLong
    };
    Kind kind = Kind::unreadable;
    QString payload; // the extension, or the file name

    QString errorDescription() const;
    // Empty when there is none.
    QString recoverySuggestion() const;
    bool operator==(const ScriptImportError &) const = default;
};

// The rich formats read by a converter of our own.
enum class DocumentType { rtf, rtfd, officeOpenXml, word97, openDocument };

// Turns a file into plain text and a title, by its extension.

namespace ScriptImporter {
inline const QStringList plainTextExtensions = {QStringLiteral("txt"), QStringLiteral("text"),
                                                QString()};
inline const QStringList markdownExtensions = {QStringLiteral("md"), QStringLiteral("markdown"),
                                               QStringLiteral("mdown"), QStringLiteral("mkd"),
                                               QStringLiteral("mdtext")};
inline const QStringList richExtensions = {QStringLiteral("rtf"),  QStringLiteral("rtfd"),
                                                 QStringLiteral("docx"), QStringLiteral("doc"),
                                                 QStringLiteral("odt"),  QStringLiteral("wordml")};

// Converts a rich document to text (in a separate process, with a time
// limit, in the app); nothing with the error when it cannot.
using Converter = std::function<std::optional<QString>(const QString &path, DocumentType type,
                                                       ScriptImportError *error)>;

// What can be imported, as the file chooser filters it: "Scripts (*.txt …);;All files (*)".
QString fileDialogFilter();
// The formats a person knows by name, for hints: "a .txt, .md, .rtf or .docx file".
QString commonFormats();

std::optional<DocumentType> documentType(const QString &extension);
// The extension as the importer sees it: lower case, empty for "README" or ".md".
QString extensionOf(const QString &path);
bool canImport(const QString &path);

std::optional<ImportedScript> load(const QString &path, const Converter &convert,
                                   ScriptImportError *error);

struct LoadAllResult {
    std::vector<ImportedScript> scripts;
    std::vector<std::pair<QString, ScriptImportError>> failures;
};
LoadAllResult loadAll(const QStringList &paths, const Converter &convert);
// What the library says after an import: "Imported 2 scripts.", or the
// first failure when nothing was imported; empty when nothing happened.
QString summary(const LoadAllResult &result);
// The same when only `imported` of the scripts read made it into the library.
QString summary(qsizetype imported, const LoadAllResult &result);
// One failed file: its path and the sentence the library shows.
QString failureLine(const QString &path, const ScriptImportError &error);
// A file read but not stored: "talk.txt: not imported: could not write …: No
// space left on device."
QString notImportedLine(const QString &path, const QString &why);

// Line endings, odd spaces and blank runs cleaned up; the script editor
// applies it to pasted text too.
QString normalize(const QString &text);

// The largest file read as plain text or Markdown, and the largest rich
// document handed to the converter.
inline constexpr qint64 maxTextFileBytes = 16 * 1024 * 1024;
inline constexpr qint64 maxDocumentBytes = 64 * 1024 * 1024;
// A file's name as a title: control characters and line breaks become
// spaces, runs of spaces one.
QString titleFromFileName(const QString &baseName);
} // namespace ScriptImporter

#pragma once

#include "import/ScriptImporter.h"

#include <QStringList>

// Converts rich documents in a child process that is killed at the time
// limit, so a document that makes a reader loop or crash ends in an error
// message and leaves the caller running. Blocking: call it off the GUI thread.
class DocumentConverter {
public:
    static constexpr int timeoutMs = 5000;

    // `program` plus `arguments` is a command that, given the type's name and
    // a path, prints the document's text (see runChild()).
    DocumentConverter(QString program, QStringList arguments, int timeout = timeoutMs);

    std::optional<QString> operator()(const QString &path, DocumentType type,
                                      ScriptImportError *error) const;
    ScriptImporter::Converter asConverter() const;

    static QString typeName(DocumentType type);
    static std::optional<DocumentType> typeFromName(const QString &name);
    // The child's side: prints the text of `path` as UTF-8; returns the exit code.
    static int runChild(const QString &typeName, const QString &path);

private:
    QString m_program;
    QStringList m_arguments;
    int m_timeout;
};

#include "import/ScriptImporter.h"

#include "base/FileRead.h"
#include "base/TextDecoding.h"
#include "import/MarkdownStripper.h"
#include "library/Script.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

QString ScriptImportError::errorDescription() const {
    switch (kind) {
    case Kind::unsupportedFormat:
        return QStringLiteral("Orvell cannot read ") +
               (payload.isEmpty() ? QStringLiteral("that file")
                                  : QLatin1Char('.') + payload + QStringLiteral(" files")) +
               QLatin1Char('.');
    case Kind::unreadable:
        return QStringLiteral("\u201C") + payload +
               QStringLiteral("\u201D could not be read. It may be damaged or in an unexpected "
                              "format.");
    case Kind::timedOut:
        return QStringLiteral("\u201C") + payload +
               QStringLiteral("\u201D took too long to convert and was left alone. It is "
                              "probably damaged \u2014 try re-saving it first.");
    case Kind::notFound:
        return QStringLiteral("\u201C") + payload + QStringLiteral("\u201D could not be found.");
    case Kind::permissionDenied:
        return QStringLiteral("\u201C") + payload +
               QStringLiteral("\u201D could not be opened: permission denied.");
    case Kind::notText:
        return QStringLiteral("\u201C") + payload +
               QStringLiteral("\u201D is not a text file. It may be a program, an image or "
                              "another kind of document.");
    case Kind::tooLong:
        return QStringLiteral("\u201C") + payload +
               QStringLiteral("\u201D is too long for a script: Orvell takes scripts of up to "
                              "1,000,000 characters (about 170,000 words).");
    case Kind::emptyDocument:
        break;
    }
    return QStringLiteral("That file has no text in it.");
}

QString ScriptImportError::recoverySuggestion() const {
    if (kind == Kind::unsupportedFormat)
        return QStringLiteral("Supported formats: plain text, Markdown, RTF and Word (.docx).");
    return QString();
}

namespace ScriptImporter {

std::optional<DocumentType> documentType(const QString &extension) {
    const QString ext = extension.toLower();
    if (ext == u"rtf")
        return DocumentType::rtf;
    if (ext == u"rtfd")
        return DocumentType::rtfd;
    if (ext == u"docx" || ext == u"wordml")
        return DocumentType::officeOpenXml;
    if (ext == u"doc")
        return DocumentType::word97;
    if (ext == u"odt")
        return DocumentType::openDocument;
    return std::nullopt;
}

QString extensionOf(const QString &path) {
    // "notes.md" → "md"; "README" and ".md" have no extension.
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? name.mid(dot + 1).toLower() : QString();
}

static QString baseNameOf(const QString &path) {
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? name.left(dot) : (dot == 0 ? QString() : name);
}

QString fileDialogFilter() {
    QStringList patterns;
    for (const QStringList *list : {&plainTextExtensions, &markdownExtensions, &richExtensions})
        for (const QString &ext : *list)
            if (!ext.isEmpty())
                patterns << QStringLiteral("*.") + ext;
    return QStringLiteral("Scripts (%1);;All files (*)").arg(patterns.join(QLatin1Char(' ')));
}

QString commonFormats() {
    return QStringLiteral("a .txt, .md, .rtf or .docx file");
}

bool canImport(const QString &path) {
    const QString ext = extensionOf(path);
    return plainTextExtensions.contains(ext) || markdownExtensions.contains(ext) ||
           richExtensions.contains(ext);
}

ScriptImportError::Kind errorFor(FileRead::Failure failure) {
    switch (failure) {
    case FileRead::Failure::notFound:
        return ScriptImportError::Kind::notFound;
    case FileRead::Failure::permissionDenied:
        return ScriptImportError::Kind::permissionDenied;
    case FileRead::Failure::tooLarge:
        return ScriptImportError::Kind::tooLong;
    default:
        return ScriptImportError::Kind::unreadable;
    }
}

static std::optional<QString> readPlainText(const QString &path, ScriptImportError *error) {
    const FileRead::Result read = FileRead::regular(path, maxTextFileBytes);
    const auto fail = [&](ScriptImportError::Kind kind) -> std::optional<QString> {
        if (error)
            *error = {kind, QFileInfo(path).fileName()};
        return std::nullopt;
    };
    if (!read.bytes)
        return fail(errorFor(read.failure));
    QString text = TextDecoding::decodeWithFallbacks(*read.bytes);
    if (!TextDecoding::looksLikeText(text))
        return fail(ScriptImportError::Kind::notText);
    return text;
}

QString titleFromFileName(const QString &baseName) {
    QString title;
    title.reserve(baseName.size());
    bool space = false;
    for (const QChar c : baseName) {
        // Line breaks, tabs, escapes and unpaired surrogates from a name
        // the file system took as bytes.
        const bool blank = c.isSpace() || c.category() == QChar::Other_Control ||
                           c.category() == QChar::Other_Format || c.isSurrogate() ||
                           c == QChar::ReplacementCharacter;
        if (blank) {
            space = !title.isEmpty();
            continue;
        }
        if (space)
            title += QLatin1Char(' ');
        space = false;
        title += c;
    }
    return title;
}

std::optional<ImportedScript> load(const QString &path, const Converter &convert,
                                   ScriptImportError *error) {
    const QString ext = extensionOf(path);
    std::optional<QString> text;
    if (markdownExtensions.contains(ext)) {
        text = readPlainText(path, error);
        if (text)
            text = MarkdownStripper::strip(*text);
    } else if (plainTextExtensions.contains(ext)) {
        text = readPlainText(path, error);
    } else if (const auto type = documentType(ext); type && convert) {
        // The converter reads the document in a child process; what it is
        // handed must be a document, not a pipe or a device.
        const bool folder = *type == DocumentType::rtfd && QFileInfo(path).isDir();
        if (const auto failure =
                folder ? FileRead::Failure::none : FileRead::check(path, maxDocumentBytes);
            failure != FileRead::Failure::none) {
            // A document too large to read is no too-long script: it may be mostly pictures.
            if (error)
                *error = {failure == FileRead::Failure::tooLarge
                              ? ScriptImportError::Kind::unreadable
                              : errorFor(failure),
                          QFileInfo(path).fileName()};
            return std::nullopt;
        }
        text = convert(path, *type, error);
    } else {
        if (error)
            *error = {ScriptImportError::Kind::unsupportedFormat, ext};
        return std::nullopt;
    }
    if (!text)
        return std::nullopt;

    const QString body = normalize(*text);
    if (body.isEmpty()) {
        if (error)
            *error = {ScriptImportError::Kind::emptyDocument, QString()};
        return std::nullopt;
    }
    if (body.size() > Script::maxCharacters) {
        if (error)
            *error = {ScriptImportError::Kind::tooLong, QFileInfo(path).fileName()};
        return std::nullopt;
    }
    QString title = titleFromFileName(baseNameOf(path));
    if (title.isEmpty())
        title = Script::derivedTitle(body, untitledScriptTitle);
    return ImportedScript{Script::sanitizedTitle(title, QString()), body, path};
}

LoadAllResult loadAll(const QStringList &paths, const Converter &convert) {
    LoadAllResult result;
    for (const QString &path : paths) {
        ScriptImportError error;
        if (auto script = load(path, convert, &error))
            result.scripts.push_back(std::move(*script));
        else
            result.failures.emplace_back(path, error);
    }
    return result;
}

QString summary(const LoadAllResult &result) {
    return summary(static_cast<qsizetype>(result.scripts.size()), result);
}

QString failureLine(const QString &path, const ScriptImportError &error) {
    const QString suggestion = error.recoverySuggestion();
    return path + QStringLiteral(": ") + error.errorDescription() +
           (suggestion.isEmpty() ? QString() : QLatin1Char(' ') + suggestion);
}

QString notImportedLine(const QString &path, const QString &why) {
    return path + QStringLiteral(": not imported: ") + why + QLatin1Char('.');
}

QString summary(qsizetype imported, const LoadAllResult &result) {
    const auto n = imported;
    if (n == 1)
        return QStringLiteral("Imported 1 script.");
    if (n > 1)
        return QStringLiteral("Imported %1 scripts.").arg(n);
    return result.failures.empty() ? QString() : result.failures.front().second.errorDescription();
}

QString normalize(const QString &text) {
    QString s = text;
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    s.replace(QChar(0x2029), QStringLiteral("\n\n"));
    s.replace(QChar(0x2028), QLatin1Char('\n'));
    s.replace(QChar(0x00A0), QLatin1Char(' '));
    s.remove(QChar(0xFEFF));
    s.remove(QChar(0x200B));
    s.replace(QLatin1Char('\t'), QLatin1Char(' '));
    s.remove(QChar(0xFFFC));

    static const QRegularExpression spaces(QStringLiteral("  +"));
    QStringList kept;
    bool previousBlank = false;
    const QStringList lines = s.split(QLatin1Char('\n'));
    for (QString line : lines) {
        line.replace(spaces, QStringLiteral(" "));
        line = line.trimmed();
        const bool blank = line.isEmpty();
        if (blank && previousBlank)
            continue;
        kept << line;
        previousBlank = blank;
    }
    return kept.join(QLatin1Char('\n')).trimmed();
}

} // namespace ScriptImporter

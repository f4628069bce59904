#include "import/ScriptImporter.h"

#include "base/TextDecoding.h"
#include "import/MarkdownStripper.h"
#include "library/Script.h"
#include "library/ScriptStore.h"

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

bool canImport(const QString &path) {
    const QString ext = extensionOf(path);
    return plainTextExtensions.contains(ext) || markdownExtensions.contains(ext) ||
           attributedExtensions.contains(ext);
}

static std::optional<QString> readPlainText(const QString &path, ScriptImportError *error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = {ScriptImportError::Kind::unreadable, QFileInfo(path).fileName()};
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = {ScriptImportError::Kind::unreadable, QFileInfo(path).fileName()};
        return std::nullopt;
    }
    return TextDecoding::decodeWithFallbacks(bytes);
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
    QString title = baseNameOf(path);
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
    const auto n = result.scripts.size();
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

Script add(ScriptStore &store, const ImportedScript &imported, bool select) {
    return store.create(imported.title, imported.body, select);
}

} // namespace ScriptImporter

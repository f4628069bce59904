#include "import/DocumentConverter.h"

#include "import/DocumentReaders.h"

#include <QFileInfo>
#include <QProcess>

#include <cstdio>

namespace {
constexpr int exitUnreadable = 3;

struct TypeName {
    DocumentType type;
    const char *name;
};
constexpr TypeName typeNames[] = {{DocumentType::rtf, "rtf"},
                                  {DocumentType::rtfd, "rtfd"},
                                  {DocumentType::officeOpenXml, "docx"},
                                  {DocumentType::word97, "doc"},
                                  {DocumentType::openDocument, "odt"}};
} // namespace

DocumentConverter::DocumentConverter(QString program, QStringList arguments, int timeout)
    : m_program(std::move(program))
    , m_arguments(std::move(arguments))
    , m_timeout(timeout) {}

QString DocumentConverter::typeName(DocumentType type) {
    for (const TypeName &t : typeNames)
        if (t.type == type)
            return QLatin1StringView(t.name);
    return QString();
}

std::optional<DocumentType> DocumentConverter::typeFromName(const QString &name) {
    for (const TypeName &t : typeNames)
        if (name == QLatin1StringView(t.name))
            return t.type;
    return std::nullopt;
}

int DocumentConverter::runChild(const QString &name, const QString &path) {
    const auto type = typeFromName(name);
    const auto text = type ? DocumentReaders::read(path, *type) : std::nullopt;
    if (!text)
        return exitUnreadable;
    const QByteArray utf8 = text->toUtf8();
    std::fwrite(utf8.constData(), 1, static_cast<size_t>(utf8.size()), stdout);
    std::fflush(stdout);
    return 0;
}

std::optional<QString> DocumentConverter::operator()(const QString &path, DocumentType type,
                                                     ScriptImportError *error) const {
    const QString name = QFileInfo(path).fileName();
    const auto fail = [&](ScriptImportError::Kind kind) {
        if (error)
            *error = {kind, name};
        return std::nullopt;
    };
    QProcess child;
    child.setProcessChannelMode(QProcess::SeparateChannels);
    child.setStandardInputFile(QProcess::nullDevice());
    child.start(m_program, m_arguments + QStringList{typeName(type), path});
    if (!child.waitForStarted())
        return fail(ScriptImportError::Kind::unreadable);
    if (!child.waitForFinished(m_timeout)) {
        // A reader that loops is stopped here; whatever it would have said is ignored.
        child.kill();
        child.waitForFinished();
        return fail(ScriptImportError::Kind::timedOut);
    }
    if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
        return fail(ScriptImportError::Kind::unreadable);
    return QString::fromUtf8(child.readAllStandardOutput());
}

ScriptImporter::Converter DocumentConverter::asConverter() const {
    return [converter = *this](const QString &path, DocumentType type, ScriptImportError *error) {
        return converter(path, type, error);
    };
}

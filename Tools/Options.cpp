#include "CliCommand.h"

#include "base/FileRead.h"
#include "base/TextDecoding.h"
#include "import/ScriptImporter.h"
#include "library/Script.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

namespace Cli {

int usageError(QTextStream &err, const char *command, const QString &message) {
    err << "orvell-cli " << command << ": " << message << "\n";
    return exitUsage;
}

std::optional<Options> Options::parse(const char *command, const QStringList &args,
                                      const Spec &spec, QTextStream &err) {
    Options options;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        if (optionsEnded || !a.startsWith(QLatin1StringView("--"))) {
            options.m_positional << a;
        } else if (a == QLatin1StringView("--")) {
            optionsEnded = true;
        } else if (spec.flags.contains(a)) {
            options.m_flags << a;
        } else if (spec.valued.contains(a)) {
            if (i + 1 >= args.size()) {
                usageError(err, command, a + QStringLiteral(" needs a value"));
                return std::nullopt;
            }
            options.m_values.append({a, args.at(++i)});
        } else {
            usageError(err, command, QStringLiteral("unknown option ") + a);
            return std::nullopt;
        }
    }
    return options;
}

QString Options::value(const QString &option) const {
    QString last;
    for (const auto &[name, value] : m_values)
        if (name == option)
            last = value;
    return last;
}

QString compactJson(const QJsonObject &object) {
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

std::optional<QString> readScriptFile(const char *command, const QString &path, QTextStream &err) {
    const FileRead::Result read = FileRead::regular(path, ScriptImporter::maxTextFileBytes);
    if (!read.bytes) {
        err << "orvell-cli " << command << ": cannot read " << path << ": " << read.reason << "\n";
        return std::nullopt;
    }
    const QString text = ScriptImporter::normalize(TextDecoding::decodeWithFallbacks(*read.bytes));
    if (text.size() > Script::maxCharacters) {
        err << "orvell-cli " << command << ": " << path
            << " is too long for a script (more than 1,000,000 characters)\n";
        return std::nullopt;
    }
    return text;
}

} // namespace Cli

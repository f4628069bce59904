#pragma once

#include "Cli.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QJsonObject;
class QTextStream;

namespace Cli {

inline constexpr int exitOk = 0;
inline constexpr int exitFailure = 1;
inline constexpr int exitUsage = 2;

// One orvell-cli command: its name, its usage line and help text (none for
// internal commands), and what it runs.
struct Command {
    const char *name;
    const char *synopsis;
    const char *help;
    std::function<int(const QStringList &args, CliStreams io)> run;
};

// The commands, one file each.
const Command &wordsCommand();
const Command &libraryCommand();
const Command &importCommand();
const Command &rhythmCommand();
const Command &followCommand();
const Command &sendCommand();
const Command &convertDocumentCommand();

// Every usage mistake is worded one way: "orvell-cli COMMAND: what is wrong".
int usageError(QTextStream &err, const char *command, const QString &message);

// A command's options as given: flags, options with a value, and the rest
// in order. "--" ends the options.
class Options {
public:
    struct Spec {
        QStringList flags;
        QStringList valued; // each takes the next argument as its value
    };

    // Nothing after telling `err` what is wrong.
    static std::optional<Options> parse(const char *command, const QStringList &args,
                                        const Spec &spec, QTextStream &err);

    bool has(const QString &flag) const { return m_flags.contains(flag); }
    QString value(const QString &option) const;
    const QStringList &positional() const { return m_positional; }

private:
    QStringList m_flags;
    QList<std::pair<QString, QString>> m_values;
    QStringList m_positional;
};

// A compact JSON object on one line.
QString compactJson(const QJsonObject &object);
// A script file read and normalised as an import would; nothing after telling
// `err` why not.
std::optional<QString> readScriptFile(const char *command, const QString &path, QTextStream &err);

} // namespace Cli

#include "Cli.h"

#include "ScriptWords.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <functional>

namespace {

constexpr int exitOk = 0;
[[maybe_unused]] constexpr int exitFailure = 1;
constexpr int exitUsage = 2;

struct Command {
    const char *name;
    const char *synopsis;
    const char *help;
    std::function<int(const QStringList &, CliStreams)> run;
};

int wordsCommand(const QStringList &args, CliStreams io) {
    bool json = false;
    QStringList textArgs;
    for (const QString &a : args) {
        if (a == QLatin1StringView("--json"))
            json = true;
        else if (a.startsWith(QLatin1StringView("--")) && a != QLatin1StringView("--")) {
            io.err << "orvell-cli words: unknown option " << a << "\n";
            return exitUsage;
        } else if (a != QLatin1StringView("--"))
            textArgs << a;
    }
    const QString text = textArgs.isEmpty() ? io.in.readAll() : textArgs.join(QLatin1Char(' '));
    const ScriptWords words(text);

    if (json) {
        QJsonArray array;
        for (const auto &w : words.words)
            array.append(QJsonObject{{QStringLiteral("location"), w.location},
                                     {QStringLiteral("length"), w.length},
                                     {QStringLiteral("key"), w.key}});
        io.out << QJsonDocument(array).toJson(QJsonDocument::Compact) << "\n";
        return exitOk;
    }
    for (const auto &w : words.words)
        io.out << w.location << '\t' << w.length << '\t' << w.key << '\t'
               << QStringView(words.text).mid(w.location, w.length) << "\n";
    return exitOk;
}

const std::vector<Command> &commands() {
    static const std::vector<Command> table = {
        {"words", "words [--json] [TEXT...]",
         "Prints the words of TEXT (or of standard input when no TEXT is given) as the\n"
         "prompter matches them: UTF-16 location and length in the text, and the match\n"
         "key (case, accents and width folded; letters, marks and numbers only).\n"
         "  plain:  one line a word: LOCATION<TAB>LENGTH<TAB>KEY<TAB>WORD\n"
         "  --json: one array on one line:\n"
         "          [{\"location\": n, \"length\": n, \"key\": \"...\"}, ...]\n",
         wordsCommand},
    };
    return table;
}

void printUsage(QTextStream &out) {
    out << "Usage: orvell-cli COMMAND [OPTIONS]\n\n"
           "The command-line companion of Orvell, the script prompter.\n\n"
           "Commands:\n";
    for (const Command &c : commands())
        out << "  " << c.synopsis << "\n";
    out << "\nRun 'orvell-cli help COMMAND' for a command's options and output.\n"
           "Every --json output is stable: fields are only ever added.\n"
           "Exit codes: 0 done, 1 failed, 2 usage error.\n";
}

const Command *findCommand(const QString &name) {
    for (const Command &c : commands()) {
        if (name == QLatin1StringView(c.name))
            return &c;
    }
    return nullptr;
}

void printCommandHelp(const Command &c, QTextStream &out) {
    out << "Usage: orvell-cli " << c.synopsis << "\n\n" << c.help;
}

} // namespace

int runCli(const QStringList &args, CliStreams io) {
    if (args.isEmpty()) {
        printUsage(io.err);
        return exitUsage;
    }
    const QString &first = args.first();
    if (first == QLatin1StringView("--help") || first == QLatin1StringView("-h") ||
        first == QLatin1StringView("help")) {
        if (args.size() > 1) {
            if (const Command *c = findCommand(args.at(1))) {
                printCommandHelp(*c, io.out);
                return exitOk;
            }
            io.err << "orvell-cli: no command named " << args.at(1) << "\n";
            return exitUsage;
        }
        printUsage(io.out);
        return exitOk;
    }
    const Command *command = findCommand(first);
    if (!command) {
        io.err << "orvell-cli: unknown command " << first << "\n\n";
        printUsage(io.err);
        return exitUsage;
    }
    const QStringList rest = args.mid(1);
    if (rest.contains(QLatin1StringView("--help")) || rest.contains(QLatin1StringView("-h"))) {
        printCommandHelp(*command, io.out);
        return exitOk;
    }
    return command->run(rest, io);
}

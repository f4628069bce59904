#include "CliCommand.h"

#include "text/ScriptWords.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

namespace Cli {

namespace {

int run(const QStringList &args, CliStreams io) {
    const auto options = Options::parse("words", args, {{QStringLiteral("--json")}, {}}, io.err);
    if (!options)
        return exitUsage;
    const QStringList &textArgs = options->positional();
    const QString text = textArgs.isEmpty() ? io.in.readAll() : textArgs.join(QLatin1Char(' '));
    const ScriptWords words(text);

    if (options->has(QStringLiteral("--json"))) {
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

} // namespace

const Command &wordsCommand() {
    static const Command command{
        "words", "words [--json] [TEXT...]",
        "Prints the words of TEXT (or of standard input when no TEXT is given) as the\n"
        "prompter matches them: UTF-16 location and length in the text, and the match\n"
        "key (case, accents and width folded; letters, marks and numbers only).\n"
        "  plain:  one line a word: LOCATION<TAB>LENGTH<TAB>KEY<TAB>WORD\n"
        "  --json: one array on one line:\n"
        "          [{\"location\": n, \"length\": n, \"key\": \"...\"}, ...]\n",
        run};
    return command;
}

} // namespace Cli

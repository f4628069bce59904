#include "CliCommand.h"
#include "RunningApp.h"

#include "import/DocumentConverter.h"
#include "import/ScriptImporter.h"
#include "library/ScriptStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonObject>
#include <QTextStream>

namespace Cli {

namespace {

constexpr size_t importBatchSize = 200;

// Each file's title and text, or its error, in the order given.
int dryRun(const QStringList &files, const ScriptImporter::LoadAllResult &result, bool json,
           QTextStream &out) {
    size_t ok = 0, failed = 0;
    for (const QString &file : files) {
        if (ok < result.scripts.size() && result.scripts[ok].sourcePath == file) {
            const ImportedScript &s = result.scripts[ok++];
            if (json)
                out << compactJson({{QStringLiteral("file"), file},
                                    {QStringLiteral("title"), s.title},
                                    {QStringLiteral("body"), s.body}})
                    << "\n";
            else
                out << "== " << file << "\n" << s.title << "\n\n" << s.body << "\n\n";
        } else if (failed < result.failures.size()) {
            const ScriptImportError &e = result.failures[failed++].second;
            const QString suggestion = e.recoverySuggestion();
            if (json)
                out << compactJson({{QStringLiteral("file"), file},
                                    {QStringLiteral("error"), e.errorDescription()},
                                    {QStringLiteral("suggestion"),
                                     suggestion.isEmpty() ? QJsonValue(QJsonValue::Null)
                                                          : QJsonValue(suggestion)}})
                    << "\n";
            else
                out << "== " << file << "\n"
                    << e.errorDescription()
                    << (suggestion.isEmpty() ? QString() : QLatin1Char(' ') + suggestion) << "\n\n";
        }
    }
    return result.failures.empty() ? exitOk : exitFailure;
}

// The summary as the library shows it, then every file that failed, each on
// a line of its own; the exit code says whether all of them were imported.
int report(const QString &summary, int imported, const QStringList &problems, bool json,
           CliStreams io) {
    if (json)
        io.out << compactJson({{QStringLiteral("imported"), imported},
                               {QStringLiteral("failed"), static_cast<int>(problems.size())},
                               {QStringLiteral("summary"), summary}})
               << "\n";
    else if (!summary.isEmpty())
        io.out << summary << "\n";
    for (const QString &problem : problems)
        io.err << "orvell-cli import: " << problem << "\n";
    return imported > 0 && problems.isEmpty() ? exitOk : exitFailure;
}

// While Orvell runs it is the library's one writer: the files go to it.
std::optional<int> importThroughApp(const QStringList &files, bool json, CliStreams io) {
    if (!RunningApp::isRunning())
        return std::nullopt;
    QStringList absolute;
    for (const QString &file : files)
        absolute << QFileInfo(file).absoluteFilePath();
    QString why;
    // Each rich document may take the converter's whole time limit.
    const int timeoutMs = 10000 + static_cast<int>(files.size()) * 6000;
    const auto reply = RunningApp::call(QStringLiteral("Import"), {absolute}, timeoutMs, &why);
    if (!reply || reply->size() != 4) {
        io.err << "orvell-cli import: " << (reply ? QStringLiteral("Orvell gave no answer") : why)
               << "\n";
        return exitFailure;
    }
    const QStringList problems = reply->at(3).toStringList();
    if (json)
        for (const QString &problem : problems)
            io.out << compactJson({{QStringLiteral("error"), problem}}) << "\n";
    return report(reply->at(0).toString(), reply->at(1).toInt(), problems, json, io);
}

int run(const QStringList &args, CliStreams io) {
    const auto options = Options::parse(
        "import", args,
        {{QStringLiteral("--dry-run"), QStringLiteral("--json")}, {QStringLiteral("--root")}},
        io.err);
    if (!options)
        return exitUsage;
    const QStringList &files = options->positional();
    if (files.isEmpty())
        return usageError(io.err, "import", QStringLiteral("name at least one file"));
    const bool json = options->has(QStringLiteral("--json"));
    const QString root = options->value(QStringLiteral("--root"));
    const bool usersLibrary = root.isEmpty() || QDir(root) == QDir(ScriptStore::defaultRoot());
    if (!options->has(QStringLiteral("--dry-run")) && usersLibrary)
        if (const auto code = importThroughApp(files, json, io))
            return *code;
    // Rich documents are converted by this same program in a child process.
    const DocumentConverter converter(QCoreApplication::applicationFilePath(),
                                      {QStringLiteral("convert-document")});
    const ScriptImporter::LoadAllResult result =
        ScriptImporter::loadAll(files, converter.asConverter());
    if (options->has(QStringLiteral("--dry-run")))
        return dryRun(files, result, json, io.out);

    QStringList problems;
    for (const auto &[file, error] : result.failures)
        problems << ScriptImporter::failureLine(file, error);
    int imported = 0;
    // Nothing is written, not even an empty library, when nothing was read.
    if (!result.scripts.empty()) {
        ScriptStoreOptions storeOptions;
        storeOptions.seedIfEmpty = false;
        ScriptStore store(root.isEmpty() ? ScriptStore::defaultRoot() : root, storeOptions);
        if (!store.holdsLock()) {
            io.err << "orvell-cli import: nothing was imported: " << store.lockProblem() << ".\n";
            return exitFailure;
        }
        // Each file is all or nothing: its text, then the index that lists
        // it, one index write a batch.
        for (size_t first = 0; first < result.scripts.size(); first += importBatchSize) {
            const size_t end = std::min(result.scripts.size(), first + importBatchSize);
            std::vector<NewScript> batch;
            for (size_t i = first; i < end; ++i)
                batch.push_back({result.scripts[i].title, result.scripts[i].body});
            const std::vector<AddedScript> added = store.addNow(batch, true);
            for (size_t i = first; i < end; ++i) {
                const ImportedScript &s = result.scripts[i];
                const AddedScript &a = added[i - first];
                if (a.script)
                    ++imported;
                else
                    problems << ScriptImporter::notImportedLine(s.sourcePath, a.error);
                if (json)
                    io.out << compactJson(
                                  a.script ? QJsonObject{{QStringLiteral("file"), s.sourcePath},
                                                         {QStringLiteral("id"),
                                                          Script::idText(a.script->id)},
                                                         {QStringLiteral("title"), a.script->title}}
                                           : QJsonObject{{QStringLiteral("file"), s.sourcePath},
                                                         {QStringLiteral("error"), a.error}})
                           << "\n";
            }
        }
    }
    if (json)
        for (const auto &[file, error] : result.failures)
            io.out << compactJson({{QStringLiteral("file"), file},
                                   {QStringLiteral("error"), error.errorDescription()}})
                   << "\n";
    return report(ScriptImporter::summary(imported, result), imported, problems, json, io);
}

} // namespace

const Command &importCommand() {
    static const Command command{
        "import", "import [--dry-run] [--root DIR] [--json] FILE...",
        "Imports text (.txt, .text, no extension), Markdown (.md, .markdown, .mdown, .mkd,\n"
        ".mdtext), RTF/RTFD, Word (.docx, .doc, .wordml) and OpenDocument (.odt) files as\n"
        "scripts. Rich documents are converted in a child process stopped after 5 s.\n"
        "  --dry-run  print each file's title and text (or its error) and change nothing.\n"
        "             --json: one object a line, {\"file\", \"title\", \"body\"} or\n"
        "             {\"file\", \"error\", \"suggestion\" (null when none)}.\n"
        "  otherwise  add them to the library (--root, default the user's) and print the\n"
        "             summary the library shows (\"Imported 2 scripts.\"). While Orvell runs,\n"
        "             the user's library is written by Orvell alone: the files go to it\n"
        "             over the session bus. A library another program is writing is\n"
        "             left alone, with a message.\n"
        "             --json: one object a file, {\"file\", \"id\", \"title\"} or\n"
        "             {\"file\", \"error\"}, then {\"imported\": n, \"failed\": n,\n"
        "             \"summary\": \"...\"}.\n"
        "             Each file is imported whole or not at all; every file that was not\n"
        "             is named with the reason on standard error.\n"
        "Exit code 1 when any file was not imported.\n",
        run};
    return command;
}

} // namespace Cli

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

int report(const QString &summary, int imported, int failed, bool json, QTextStream &out) {
    if (json)
        out << compactJson({{QStringLiteral("imported"), imported},
                            {QStringLiteral("failed"), failed},
                            {QStringLiteral("summary"), summary}})
            << "\n";
    else
        out << summary << "\n";
    return imported == 0 ? exitFailure : exitOk;
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
    if (!reply || reply->size() != 3) {
        io.err << "orvell-cli import: " << (reply ? QStringLiteral("Orvell gave no answer") : why)
               << "\n";
        return exitFailure;
    }
    return report(reply->at(0).toString(), reply->at(1).toInt(), reply->at(2).toInt(), json,
                  io.out);
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

    ScriptStoreOptions storeOptions;
    storeOptions.seedIfEmpty = false;
    ScriptStore store(root.isEmpty() ? ScriptStore::defaultRoot() : root, storeOptions);
    if (!store.holdsLock()) {
        io.err << "orvell-cli import: nothing was imported: "
               << LibraryLock::inUseReason(LibraryLock::holder(store.root())) << ".\n";
        return exitFailure;
    }
    for (const ImportedScript &s : result.scripts)
        ScriptImporter::add(store, s, true);
    store.flushPendingSynchronously();
    const QString summary = ScriptImporter::summary(result);
    if (json)
        io.out << compactJson(
                      {{QStringLiteral("imported"), static_cast<int>(result.scripts.size())},
                       {QStringLiteral("failed"), static_cast<int>(result.failures.size())},
                       {QStringLiteral("summary"), summary}})
               << "\n";
    else
        io.out << summary << "\n";
    if (!store.saveProblem().isEmpty()) {
        io.err << store.saveProblem() << "\n";
        return exitFailure;
    }
    return result.scripts.empty() ? exitFailure : exitOk;
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
        "             --json: {\"imported\": n, \"failed\": n, \"summary\": \"...\"}.\n"
        "Exit code 1 when any file failed (dry run) or nothing was imported.\n",
        run};
    return command;
}

} // namespace Cli

#include "Cli.h"

#include "base/DurationFormat.h"
#include "base/IsoDate.h"
#include "base/TextDecoding.h"
#include "import/DocumentConverter.h"
#include "library/ScriptDiskIO.h"
#include "library/ScriptStore.h"
#include "pace/EspeakRenderer.h"
#include "pace/PaceSchedule.h"
#include "pace/RhythmVoice.h"
#include "reading/FollowReplay.h"
#include "text/ScriptWords.h"
#include "voice/WavFileSource.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <cmath>
#include <functional>
#include <optional>

namespace {

constexpr int exitOk = 0;
constexpr int exitFailure = 1;
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

// Options shared by the library commands, taken out of the argument list.
struct LibraryArgs {
    QString root;
    bool json = false;
    QStringList rest;
};

std::optional<LibraryArgs> parseLibraryArgs(const QStringList &args, QTextStream &err) {
    LibraryArgs parsed;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        if (a == QLatin1StringView("--json")) {
            parsed.json = true;
        } else if (a == QLatin1StringView("--root")) {
            if (i + 1 >= args.size()) {
                err << "orvell-cli library: --root needs a folder\n";
                return std::nullopt;
            }
            parsed.root = args.at(++i);
        } else if (a.startsWith(QLatin1StringView("--"))) {
            err << "orvell-cli library: unknown option " << a << "\n";
            return std::nullopt;
        } else {
            parsed.rest << a;
        }
    }
    return parsed;
}

QJsonValue jsonTarget(const std::optional<double> &seconds) {
    return seconds ? QJsonValue(*seconds) : QJsonValue(QJsonValue::Null);
}

int libraryCommand(const QStringList &args, CliStreams io) {
    const auto parsed = parseLibraryArgs(args, io.err);
    if (!parsed || parsed->rest.isEmpty()) {
        if (parsed)
            io.err << "orvell-cli library: say list, show ID or check\n";
        return exitUsage;
    }
    const QString action = parsed->rest.first();
    const bool known =
        (action == QLatin1StringView("show") && parsed->rest.size() == 2) ||
        ((action == QLatin1StringView("list") || action == QLatin1StringView("check")) &&
         parsed->rest.size() == 1);
    if (!known) {
        io.err << "orvell-cli library: say list, show ID or check\n";
        return exitUsage;
    }
    const QString root = parsed->root.isEmpty() ? ScriptStore::defaultRoot() : parsed->root;
    if (!parsed->root.isEmpty() && !QFileInfo(root).isDir()) {
        io.err << "orvell-cli library: no library folder at " << root << "\n";
        return exitFailure;
    }

    if (action == QLatin1StringView("list")) {
        const LoadOutcome outcome = ScriptDiskIO::load(root, IsoDate::now());
        const std::vector<Script> scripts = outcome.scripts();
        const auto selected = outcome.manifest.selectedID;
        if (parsed->json) {
            QJsonArray list;
            for (const Script &s : scripts)
                list.append(
                    QJsonObject{{QStringLiteral("id"), Script::idText(s.id)},
                                {QStringLiteral("title"), s.title},
                                {QStringLiteral("wordCount"), s.wordCount()},
                                {QStringLiteral("createdAt"), IsoDate::toString(s.createdAt)},
                                {QStringLiteral("updatedAt"), IsoDate::toString(s.updatedAt)},
                                {QStringLiteral("isFavorite"), s.isFavorite},
                                {QStringLiteral("targetSeconds"), jsonTarget(s.targetSeconds)}});
            const QJsonObject out{
                {QStringLiteral("selectedID"),
                 selected ? QJsonValue(Script::idText(*selected)) : QJsonValue(QJsonValue::Null)},
                {QStringLiteral("scripts"), list}};
            io.out << QJsonDocument(out).toJson(QJsonDocument::Compact) << "\n";
            return exitOk;
        }
        for (const Script &s : scripts)
            io.out << (selected == s.id ? "* " : "  ") << Script::idText(s.id) << "  " << s.title
                   << "  (" << s.wordCount() << (s.wordCount() == 1 ? " word)" : " words)") << "\n";
        return exitOk;
    }

    if (action == QLatin1StringView("show")) {
        const auto id = Script::parseId(parsed->rest.at(1));
        const LoadOutcome outcome = ScriptDiskIO::load(root, IsoDate::now());
        for (const Script &s : outcome.scripts()) {
            if (id && s.id == *id) {
                if (parsed->json)
                    io.out << QJsonDocument(
                                  QJsonObject{{QStringLiteral("id"), Script::idText(s.id)},
                                              {QStringLiteral("title"), s.title},
                                              {QStringLiteral("body"), s.body}})
                                  .toJson(QJsonDocument::Compact)
                           << "\n";
                else
                    io.out << s.body << (s.body.endsWith(QLatin1Char('\n')) ? "" : "\n");
                return exitOk;
            }
        }
        io.err << "orvell-cli library: no script with id " << parsed->rest.at(1) << "\n";
        return exitFailure;
    }

    // check
    const LoadOutcome outcome = ScriptDiskIO::load(root, IsoDate::now());
    const auto &r = outcome.recovery;
    if (parsed->json) {
        const QJsonValue recovery =
            r ? QJsonValue(QJsonObject{{QStringLiteral("backupFile"), r->backupPath},
                                       {QStringLiteral("recoveredCount"), r->recoveredCount},
                                       {QStringLiteral("notice"), r->noticeText()}})
              : QJsonValue(QJsonValue::Null);
        io.out << QJsonDocument(QJsonObject{{QStringLiteral("recovery"), recovery}})
                      .toJson(QJsonDocument::Compact)
               << "\n";
    } else if (r) {
        io.out << r->noticeTitle() << "\n" << r->noticeText() << "\n";
    } else {
        const auto n = outcome.manifest.entries.size();
        io.out << "The library loaded cleanly: " << n << (n == 1 ? " script.\n" : " scripts.\n");
    }
    return exitOk;
}

int importCommand(const QStringList &args, CliStreams io) {
    bool dryRun = false, json = false;
    QString root;
    QStringList files;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        if (a == QLatin1StringView("--dry-run"))
            dryRun = true;
        else if (a == QLatin1StringView("--json"))
            json = true;
        else if (a == QLatin1StringView("--root") && i + 1 < args.size())
            root = args.at(++i);
        else if (a.startsWith(QLatin1StringView("--"))) {
            io.err << "orvell-cli import: unknown option " << a << "\n";
            return exitUsage;
        } else
            files << a;
    }
    if (files.isEmpty()) {
        io.err << "orvell-cli import: name at least one file\n";
        return exitUsage;
    }
    // Rich documents are converted by this same program in a child process.
    const DocumentConverter converter(QCoreApplication::applicationFilePath(),
                                      {QStringLiteral("convert-document")});
    const ScriptImporter::LoadAllResult result =
        ScriptImporter::loadAll(files, converter.asConverter());

    if (dryRun) {
        size_t ok = 0, failed = 0;
        for (const QString &file : files) {
            // Report in the order given, successes and failures alike.
            if (ok < result.scripts.size() && result.scripts[ok].sourcePath == file) {
                const ImportedScript &s = result.scripts[ok++];
                if (json)
                    io.out << QJsonDocument(QJsonObject{{QStringLiteral("file"), file},
                                                        {QStringLiteral("title"), s.title},
                                                        {QStringLiteral("body"), s.body}})
                                  .toJson(QJsonDocument::Compact)
                           << "\n";
                else
                    io.out << "== " << file << "\n" << s.title << "\n\n" << s.body << "\n\n";
            } else if (failed < result.failures.size()) {
                const ScriptImportError &e = result.failures[failed++].second;
                const QString suggestion = e.recoverySuggestion();
                if (json)
                    io.out << QJsonDocument(
                                  QJsonObject{{QStringLiteral("file"), file},
                                              {QStringLiteral("error"), e.errorDescription()},
                                              {QStringLiteral("suggestion"),
                                               suggestion.isEmpty() ? QJsonValue(QJsonValue::Null)
                                                                    : QJsonValue(suggestion)}})
                                  .toJson(QJsonDocument::Compact)
                           << "\n";
                else
                    io.out << "== " << file << "\n"
                           << e.errorDescription()
                           << (suggestion.isEmpty() ? QString() : QLatin1Char(' ') + suggestion)
                           << "\n\n";
            }
        }
        return result.failures.empty() ? exitOk : exitFailure;
    }

    ScriptStoreOptions options;
    options.seedIfEmpty = false;
    ScriptStore store(root.isEmpty() ? ScriptStore::defaultRoot() : root, options);
    for (const ImportedScript &s : result.scripts)
        ScriptImporter::add(store, s, true);
    store.flushPendingSynchronously();
    const QString summary = ScriptImporter::summary(result);
    if (json)
        io.out << QJsonDocument(
                      QJsonObject{
                          {QStringLiteral("imported"), static_cast<int>(result.scripts.size())},
                          {QStringLiteral("failed"), static_cast<int>(result.failures.size())},
                          {QStringLiteral("summary"), summary}})
                      .toJson(QJsonDocument::Compact)
               << "\n";
    else
        io.out << summary << "\n";
    if (!store.saveProblem().isEmpty()) {
        io.err << store.saveProblem() << "\n";
        return exitFailure;
    }
    return result.scripts.empty() ? exitFailure : exitOk;
}

int rhythmCommand(const QStringList &args, CliStreams io) {
    bool json = false;
    QString voiceId, file;
    PauseStyle style = PauseStyle::natural;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        if (a == QLatin1StringView("--json")) {
            json = true;
        } else if (a == QLatin1StringView("--voice") && i + 1 < args.size()) {
            voiceId = args.at(++i);
        } else if (a == QLatin1StringView("--style") && i + 1 < args.size()) {
            const QString name = args.at(++i);
            if (name != u"subtle" && name != u"natural" && name != u"generous") {
                io.err << "orvell-cli rhythm: the style is subtle, natural or generous\n";
                return exitUsage;
            }
            style = PauseStyles::fromRawValue(name);
        } else if (a.startsWith(QLatin1StringView("--")) || !file.isEmpty()) {
            io.err << "orvell-cli rhythm: unexpected " << a << "\n";
            return exitUsage;
        } else {
            file = a;
        }
    }
    if (file.isEmpty()) {
        io.err << "orvell-cli rhythm: name a script file\n";
        return exitUsage;
    }
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        io.err << "orvell-cli rhythm: cannot read " << file << "\n";
        return exitFailure;
    }
    const QString text = ScriptImporter::normalize(TextDecoding::decodeWithFallbacks(f.readAll()));
    const auto voice = RhythmVoice::resolve(voiceId, text);
    if (!voice) {
        io.err << "orvell-cli rhythm: no speech voice is installed for this text\n";
        return exitFailure;
    }
    const auto rhythm = EspeakRenderer::measure(text, voice->identifier);
    if (!rhythm) {
        io.err << "orvell-cli rhythm: the voice " << voice->identifier << " gave no rhythm\n";
        return exitFailure;
    }
    const ScriptWords words(text);
    const double natural = PaceSchedule::naturalSeconds(words, style, rhythm);
    const auto [lo, hi] = PaceSchedule::allowedRange(words, style, rhythm);
    if (json) {
        QJsonArray list;
        for (size_t i = 0; i < words.words.size(); ++i)
            list.append(QJsonObject{
                {QStringLiteral("text"),
                 QStringView(text).mid(words.words[i].location, words.words[i].length).toString()},
                {QStringLiteral("speak"), (*rhythm)[i].speak},
                {QStringLiteral("pauseAfter"), (*rhythm)[i].pauseAfter}});
        io.out << QJsonDocument(
                      QJsonObject{{QStringLiteral("voice"), RhythmVoice::displayName(*voice)},
                                  {QStringLiteral("naturalSeconds"), natural},
                                  {QStringLiteral("allowedRange"), QJsonArray{lo, hi}},
                                  {QStringLiteral("words"), list}})
                      .toJson(QJsonDocument::Compact)
               << "\n";
        return exitOk;
    }
    io.out << "Voice: " << RhythmVoice::displayName(*voice) << "\n";
    for (size_t i = 0; i < words.words.size(); ++i)
        io.out << QString::number((*rhythm)[i].speak, 'f', 2) << "s  "
               << QString::number((*rhythm)[i].pauseAfter, 'f', 2) << "s  "
               << QStringView(text).mid(words.words[i].location, words.words[i].length) << "\n";
    io.out << "Natural time: " << DurationFormat::minutesSeconds(natural) << "; a target may be "
           << DurationFormat::minutesSeconds(lo) << " to " << DurationFormat::minutesSeconds(hi)
           << "\n";
    return exitOk;
}

int followCommand(const QStringList &args, CliStreams io) {
    bool json = false;
    QString scriptFile, audioFile;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        if (a == QLatin1StringView("--json")) {
            json = true;
        } else if (a == QLatin1StringView("--script") && i + 1 < args.size()) {
            scriptFile = args.at(++i);
        } else if (a == QLatin1StringView("--audio") && i + 1 < args.size()) {
            audioFile = args.at(++i);
        } else {
            io.err << "orvell-cli follow: unexpected " << a << "\n";
            return exitUsage;
        }
    }
    if (scriptFile.isEmpty() || audioFile.isEmpty()) {
        io.err << "orvell-cli follow: name a script (--script FILE) and a recording (--audio "
                  "FILE.wav)\n";
        return exitUsage;
    }
    QFile f(scriptFile);
    if (!f.open(QIODevice::ReadOnly)) {
        io.err << "orvell-cli follow: cannot read " << scriptFile << "\n";
        return exitFailure;
    }
    const QString text = ScriptImporter::normalize(TextDecoding::decodeWithFallbacks(f.readAll()));
    QString why;
    const auto audio = WavFileSource::read(audioFile, &why);
    if (!audio) {
        io.err << "orvell-cli follow: cannot read " << audioFile << ": " << why << "\n";
        return exitFailure;
    }
    const auto compact = [](const QJsonObject &o) {
        return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
    };
    const auto outcome = FollowReplay::run(text, *audio, [&](const FollowReplay::Step &step) {
        if (json)
            io.out << compact({{QStringLiteral("t"), std::round(step.seconds * 1000) / 1000},
                               {QStringLiteral("cursor"), step.cursor}})
                   << "\n";
        else
            io.out << QString::number(step.seconds, 'f', 2) << "s  " << step.cursor << "\n";
        io.out.flush();
    });
    if (!outcome.error.isEmpty()) {
        io.err << "orvell-cli follow: " << outcome.error << "\n";
        return exitFailure;
    }
    if (json)
        io.out << compact({{QStringLiteral("done"), true},
                           {QStringLiteral("cursor"), outcome.cursor},
                           {QStringLiteral("words"), outcome.words}})
               << "\n";
    else
        io.out << "done: " << outcome.cursor << " of " << outcome.words << " words\n";
    return exitOk;
}

int convertDocumentCommand(const QStringList &args, CliStreams io) {
    if (args.size() != 2) {
        io.err << "orvell-cli convert-document: TYPE PATH\n";
        return exitUsage;
    }
    return DocumentConverter::runChild(args.at(0), args.at(1));
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
        {"library", "library [--root DIR] [--json] list|show ID|check",
         "Reads the script library (by default the user's own, in\n"
         "~/.local/share/org.orvell.Orvell). Loading repairs the index as the app does:\n"
         "body files missing from it are adopted, and a damaged index is set aside and\n"
         "rebuilt.\n"
         "  list   the scripts in order, the selected one marked with *.\n"
         "         --json: {\"selectedID\": \"ID\"|null, \"scripts\": [{\"id\", \"title\",\n"
         "         \"wordCount\", \"createdAt\", \"updatedAt\", \"isFavorite\",\n"
         "         \"targetSeconds\" (null when none)}]}; dates are ISO 8601 in UTC.\n"
         "  show   one script's text. --json: {\"id\", \"title\", \"body\"}.\n"
         "  check  whether the index had to be rebuilt.\n"
         "         --json: {\"recovery\": null} or {\"recovery\": {\"backupFile\": path,\n"
         "         \"recoveredCount\": n, \"notice\": \"the notice the app shows\"}}\n",
         libraryCommand},
        {"import", "import [--dry-run] [--root DIR] [--json] FILE...",
         "Imports text (.txt, .text, no extension), Markdown (.md, .markdown, .mdown, .mkd,\n"
         ".mdtext), RTF/RTFD, Word (.docx, .doc, .wordml) and OpenDocument (.odt) files as\n"
         "scripts. Rich documents are converted in a child process stopped after 5 s.\n"
         "  --dry-run  print each file's title and text (or its error) and change nothing.\n"
         "             --json: one object a line, {\"file\", \"title\", \"body\"} or\n"
         "             {\"file\", \"error\", \"suggestion\" (null when none)}.\n"
         "  otherwise  add them to the library (--root, default the user's) and print the\n"
         "             summary the library shows (\"Imported 2 scripts.\").\n"
         "             --json: {\"imported\": n, \"failed\": n, \"summary\": \"...\"}.\n"
         "Exit code 1 when any file failed (dry run) or nothing was imported.\n",
         importCommand},
        {"rhythm", "rhythm [--voice ID] [--style subtle|natural|generous] [--json] FILE",
         "Reads the script in FILE silently with a speech voice (espeak-ng) and prints how\n"
         "long each word is said and the pause after it, the natural reading time and the\n"
         "range of target times the pace guide allows. --voice takes an espeak-ng voice\n"
         "identifier (default: the best voice for the text's language).\n"
         "  --json: {\"voice\": \"display name\", \"naturalSeconds\": x,\n"
         "          \"allowedRange\": [lo, hi], \"words\": [{\"text\", \"speak\", "
         "\"pauseAfter\"}]}\n",
         rhythmCommand},
        {"follow", "follow --script FILE --audio FILE.wav [--json]",
         "Replays a recording of someone reading the script in FILE through voice follow\n"
         "(the speech recogniser, the matcher, the glow and the controller), with the\n"
         "recording's own time as the clock, faster than real time. The WAV may have any\n"
         "rate and channel count (PCM or 32-bit float).\n"
         "  plain:  one line at every cursor change: SECONDS<TWO SPACES>CURSOR, then\n"
         "          \"done: N of W words\".\n"
         "  --json: one object a line: {\"t\": seconds, \"cursor\": n} at every change,\n"
         "          then {\"done\": true, \"cursor\": n, \"words\": w}.\n"
         "The cursor is the index of the next script word expected. Exit code 1 when the\n"
         "files cannot be read or speech recognition is not available.\n",
         followCommand},
        {"convert-document", nullptr, nullptr, convertDocumentCommand},
    };
    return table;
}

void printUsage(QTextStream &out) {
    out << "Usage: orvell-cli COMMAND [OPTIONS]\n\n"
           "The command-line companion of Orvell, the script prompter.\n\n"
           "Commands:\n";
    for (const Command &c : commands())
        if (c.synopsis) // internal commands have none
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
    if (!c.synopsis)
        return;
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

#include "CliCommand.h"

#include "base/IsoDate.h"
#include "library/LibraryLock.h"
#include "library/ScriptDiskIO.h"
#include "library/ScriptStore.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QTextStream>

namespace Cli {

namespace {

QJsonValue jsonTarget(const std::optional<double> &seconds) {
    return seconds ? QJsonValue(*seconds) : QJsonValue(QJsonValue::Null);
}

int list(const QString &root, bool json, QTextStream &out) {
    const LoadOutcome outcome =
        ScriptDiskIO::load(root, IsoDate::now(), ScriptDiskIO::LoadMode::readOnly);
    const std::vector<Script> scripts = outcome.scripts();
    const auto selected = outcome.manifest.selectedID;
    if (json) {
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
        out << compactJson(
                   {{QStringLiteral("selectedID"), selected ? QJsonValue(Script::idText(*selected))
                                                            : QJsonValue(QJsonValue::Null)},
                    {QStringLiteral("scripts"), list}})
            << "\n";
        return exitOk;
    }
    for (const Script &s : scripts)
        out << (selected == s.id ? "* " : "  ") << Script::idText(s.id) << "  " << s.title << "  ("
            << s.wordCount() << (s.wordCount() == 1 ? " word)" : " words)") << "\n";
    return exitOk;
}

int show(const QString &root, const QString &idText, bool json, CliStreams io) {
    const auto id = Script::parseId(idText);
    const LoadOutcome outcome =
        ScriptDiskIO::load(root, IsoDate::now(), ScriptDiskIO::LoadMode::readOnly);
    for (const Script &s : outcome.scripts()) {
        if (id && s.id == *id) {
            if (const auto problem = outcome.bodyProblems.constFind(s.id);
                problem != outcome.bodyProblems.cend()) {
                io.err << "orvell-cli library: "
                       << (problem.value() == u"missing"
                               ? QStringLiteral("the text of this script is missing")
                               : QStringLiteral("the text of this script could not be read: ") +
                                     problem.value())
                       << " (" << ScriptDiskIO::bodyPath(s.id, root) << ")\n";
                return exitFailure;
            }
            if (json)
                io.out << compactJson({{QStringLiteral("id"), Script::idText(s.id)},
                                       {QStringLiteral("title"), s.title},
                                       {QStringLiteral("body"), s.body}})
                       << "\n";
            else
                io.out << s.body << (s.body.endsWith(QLatin1Char('\n')) ? "" : "\n");
            return exitOk;
        }
    }
    io.err << "orvell-cli library: no script with id " << idText << "\n";
    return exitFailure;
}

int check(const QString &root, bool json, QTextStream &out) {
    const LoadOutcome outcome =
        ScriptDiskIO::load(root, IsoDate::now(), ScriptDiskIO::LoadMode::readOnly);
    const auto &r = outcome.recovery;
    const auto holder = LibraryLock::holder(root);
    if (json) {
        const QJsonValue recovery =
            r ? QJsonValue(QJsonObject{{QStringLiteral("backupFile"),
                                        r->backupPath.isEmpty() ? QJsonValue(QJsonValue::Null)
                                                                : QJsonValue(r->backupPath)},
                                       {QStringLiteral("recoveredCount"), r->recoveredCount},
                                       {QStringLiteral("notice"), r->noticeText()}})
              : QJsonValue(QJsonValue::Null);
        QJsonArray missing, unreadable;
        for (auto it = outcome.bodyProblems.cbegin(); it != outcome.bodyProblems.cend(); ++it)
            (it.value() == u"missing" ? missing : unreadable).append(Script::idText(it.key()));
        out << compactJson(
                   {{QStringLiteral("recovery"), recovery},
                    {QStringLiteral("scripts"), static_cast<int>(outcome.manifest.entries.size())},
                    {QStringLiteral("missingBodies"), missing},
                    {QStringLiteral("unreadableBodies"), unreadable},
                    {QStringLiteral("lockHolder"),
                     holder ? QJsonValue(*holder) : QJsonValue(QJsonValue::Null)}})
            << "\n";
        return exitOk;
    }
    const auto n = outcome.manifest.entries.size();
    if (r) {
        out << r->noticeText() << "\n";
    } else if (outcome.bodyProblems.isEmpty()) {
        out << "The library loaded cleanly: " << n << (n == 1 ? " script.\n" : " scripts.\n");
    } else {
        out << "The library has " << n << (n == 1 ? " script" : " scripts") << "; "
            << outcome.bodyProblems.size() << " of them cannot be shown:\n"
            << outcome.bodyProblemsText() << "\n";
    }
    if (holder)
        out << "The library is being written by "
            << (*holder > 0 ? QStringLiteral("process %1").arg(*holder)
                            : QStringLiteral("another program"))
            << ".\n";
    return exitOk;
}

int run(const QStringList &args, CliStreams io) {
    const auto options = Options::parse(
        "library", args, {{QStringLiteral("--json")}, {QStringLiteral("--root")}}, io.err);
    if (!options)
        return exitUsage;
    const QStringList &rest = options->positional();
    const QString action = rest.value(0);
    const bool known = (action == u"show" && rest.size() == 2) ||
                       ((action == u"list" || action == u"check") && rest.size() == 1);
    if (!known)
        return usageError(io.err, "library", QStringLiteral("say list, show ID or check"));
    const QString given = options->value(QStringLiteral("--root"));
    const QString root = given.isEmpty() ? ScriptStore::defaultRoot() : given;
    if (!given.isEmpty() && !QFileInfo(root).isDir()) {
        io.err << "orvell-cli library: no library folder at " << root << "\n";
        return exitFailure;
    }
    const bool json = options->has(QStringLiteral("--json"));
    if (action == u"list")
        return list(root, json, io.out);
    if (action == u"show")
        return show(root, rest.at(1), json, io);
    return check(root, json, io.out);
}

} // namespace

const Command &libraryCommand() {
    static const Command command{
        "library", "library [--root DIR] [--json] list|show ID|check",
        "Reads the script library (by default the user's own, in\n"
        "~/.local/share/org.orvell.Orvell) without changing it: script files missing from\n"
        "the index are listed as the app would adopt them, and a damaged index is\n"
        "reported; Orvell itself repairs.\n"
        "  list   the scripts in order, the selected one marked with *.\n"
        "         --json: {\"selectedID\": \"ID\"|null, \"scripts\": [{\"id\", \"title\",\n"
        "         \"wordCount\", \"createdAt\", \"updatedAt\", \"isFavorite\",\n"
        "         \"targetSeconds\" (null when none)}]}; dates are ISO 8601 in UTC.\n"
        "  show   one script's text. --json: {\"id\", \"title\", \"body\"}.\n"
        "  check  whether the index is damaged, script files missing or unreadable, and\n"
        "         who is writing the library.\n"
        "         --json: {\"recovery\": null} or {\"recovery\": {\"backupFile\": null,\n"
        "         \"recoveredCount\": n, \"notice\": \"the notice the app shows\"}},\n"
        "         with \"scripts\": n, \"missingBodies\" and \"unreadableBodies\": [ids],\n"
        "         \"lockHolder\": the writing process's id, or null.\n",
        run};
    return command;
}

} // namespace Cli

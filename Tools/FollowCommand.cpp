#include "CliCommand.h"

#include "reading/FollowReplay.h"
#include "voice/WavFileSource.h"

#include <QJsonObject>
#include <QTextStream>

#include <cmath>

namespace Cli {

namespace {

int run(const QStringList &args, CliStreams io) {
    const auto options = Options::parse(
        "follow", args,
        {{QStringLiteral("--json")}, {QStringLiteral("--script"), QStringLiteral("--audio")}},
        io.err);
    if (!options)
        return exitUsage;
    const QString scriptFile = options->value(QStringLiteral("--script"));
    const QString audioFile = options->value(QStringLiteral("--audio"));
    if (scriptFile.isEmpty() || audioFile.isEmpty() || !options->positional().isEmpty())
        return usageError(io.err, "follow",
                          QStringLiteral("name a script (--script FILE) and a recording "
                                         "(--audio FILE.wav)"));
    const bool json = options->has(QStringLiteral("--json"));
    const auto text = readScriptFile("follow", scriptFile, io.err);
    if (!text)
        return exitFailure;
    QString why;
    if (!WavFileSource::open(audioFile, &why)) {
        io.err << "orvell-cli follow: cannot read " << audioFile << ": " << why << "\n";
        return exitFailure;
    }
    // Streamed from the file: a two-hour recording is never all in memory.
    const auto open = [&audioFile] {
        QString ignored;
        auto source = WavFileSource::open(audioFile, &ignored);
        return source ? std::move(source) : std::make_unique<WavFileSource>(std::vector<float>());
    };
    const auto outcome = FollowReplay::run(*text, open, [&](const FollowReplay::Step &step) {
        if (json)
            io.out << compactJson({{QStringLiteral("t"), std::round(step.seconds * 1000) / 1000},
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
        io.out << compactJson({{QStringLiteral("done"), true},
                               {QStringLiteral("cursor"), outcome.cursor},
                               {QStringLiteral("words"), outcome.words}})
               << "\n";
    else
        io.out << "done: " << outcome.cursor << " of " << outcome.words << " words\n";
    return exitOk;
}

} // namespace

const Command &followCommand() {
    static const Command command{
        "follow", "follow --script FILE --audio FILE.wav [--json]",
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
        run};
    return command;
}

} // namespace Cli

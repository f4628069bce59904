#include "CliCommand.h"

#include "base/DurationFormat.h"
#include "pace/EspeakRenderer.h"
#include "pace/PaceSchedule.h"
#include "pace/RhythmVoice.h"
#include "text/ScriptWords.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QTextStream>

namespace Cli {

namespace {

int run(const QStringList &args, CliStreams io) {
    const auto options = Options::parse(
        "rhythm", args,
        {{QStringLiteral("--json")}, {QStringLiteral("--voice"), QStringLiteral("--style")}},
        io.err);
    if (!options)
        return exitUsage;
    PauseStyle style = PauseStyle::natural;
    if (const QString name = options->value(QStringLiteral("--style")); !name.isEmpty()) {
        if (name != u"subtle" && name != u"natural" && name != u"generous")
            return usageError(io.err, "rhythm",
                              QStringLiteral("the style is subtle, natural or generous"));
        style = PauseStyles::fromName(name);
    }
    if (options->positional().size() != 1)
        return usageError(io.err, "rhythm", QStringLiteral("name one script file"));
    const auto text = readScriptFile("rhythm", options->positional().first(), io.err);
    if (!text)
        return exitFailure;
    const auto voice = RhythmVoice::resolve(options->value(QStringLiteral("--voice")), *text);
    if (!voice) {
        io.err << "orvell-cli rhythm: no speech voice is installed for this text\n";
        return exitFailure;
    }
    const auto rhythm = EspeakRenderer::measure(*text, voice->identifier);
    if (!rhythm) {
        io.err << "orvell-cli rhythm: the voice " << voice->identifier << " gave no rhythm\n";
        return exitFailure;
    }
    const ScriptWords words(*text);
    const double natural = PaceSchedule::naturalSeconds(words, style, rhythm);
    const auto [lo, hi] = PaceSchedule::allowedRange(words, style, rhythm);
    const auto wordText = [&](size_t i) {
        return QStringView(*text).mid(words.words[i].location, words.words[i].length);
    };
    if (options->has(QStringLiteral("--json"))) {
        QJsonArray list;
        for (size_t i = 0; i < words.words.size(); ++i)
            list.append(QJsonObject{{QStringLiteral("text"), wordText(i).toString()},
                                    {QStringLiteral("speak"), (*rhythm)[i].speak},
                                    {QStringLiteral("pauseAfter"), (*rhythm)[i].pauseAfter}});
        io.out << compactJson({{QStringLiteral("voice"), RhythmVoice::displayName(*voice)},
                               {QStringLiteral("naturalSeconds"), natural},
                               {QStringLiteral("allowedRange"), QJsonArray{lo, hi}},
                               {QStringLiteral("words"), list}})
               << "\n";
        return exitOk;
    }
    io.out << "Voice: " << RhythmVoice::displayName(*voice) << "\n";
    for (size_t i = 0; i < words.words.size(); ++i)
        io.out << QString::number((*rhythm)[i].speak, 'f', 2) << "s  "
               << QString::number((*rhythm)[i].pauseAfter, 'f', 2) << "s  " << wordText(i) << "\n";
    io.out << "Natural time: " << DurationFormat::minutesSeconds(natural) << "; a target may be "
           << DurationFormat::minutesSeconds(lo) << " to " << DurationFormat::minutesSeconds(hi)
           << "\n";
    return exitOk;
}

} // namespace

const Command &rhythmCommand() {
    static const Command command{
        "rhythm", "rhythm [--voice ID] [--style subtle|natural|generous] [--json] FILE",
        "Reads the script in FILE silently with a speech voice (espeak-ng) and prints how\n"
        "long each word is said and the pause after it, the natural reading time and the\n"
        "range of target times the pace guide allows. --voice takes an espeak-ng voice\n"
        "identifier (default: the best voice for the text's language).\n"
        "  --json: {\"voice\": \"display name\", \"naturalSeconds\": x,\n"
        "          \"allowedRange\": [lo, hi], \"words\": [{\"text\", \"speak\", "
        "\"pauseAfter\"}]}\n",
        run};
    return command;
}

} // namespace Cli

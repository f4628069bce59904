// Voice follow on espeak-ng readings of a 300-word script: the recogniser's
// real-time factor on one core, the lag from a word's end to the cursor
// passing it, how closely the cursor follows, and the memory of a run.
#include "pace/EspeakRenderer.h"
#include "pace/SpeechRhythm.h"
#include "reading/FollowReplay.h"
#include "text/ScriptWords.h"
#include "voice/AudioSource.h"
#include "voice/SpeechDecoder.h"

#include <QFile>
#include <QGuiApplication>

#include <algorithm>
#include <cstdio>
#include <sched.h>
#include <sys/resource.h>

namespace {

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

long statusKb(const char *field) {
    QFile f("/proc/self/status");
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(static_cast<qsizetype>(strlen(field)))
                .trimmed()
                .split(' ')
                .value(0)
                .toLong();
    return -1;
}

double median(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    // Everything, the decoding thread included, on one core.
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(0, &one);
    sched_setaffinity(0, sizeof one, &one);
    if (!SpeechDecoder::isModelInstalled()) {
        std::printf("voice: the speech model is not installed\n");
        return 0;
    }
    QFile f(QStringLiteral(ORVELL_SOURCE_DIR "/tests/data/voice/keynote.txt"));
    if (!f.open(QIODevice::ReadOnly))
        return 1;
    const QString script = QString::fromUtf8(f.readAll()).trimmed();
    const ScriptWords words(script);

    std::printf("%-10s %7s %6s %9s %8s %9s %8s\n", "voice", "audio", "RTF", "lag med", "end",
                "within 3", "run MB");
    QStringList voices = {"en-us+f2", "en-us+m1", "en-us"};
    if (argc > 1 && !QByteArray(argv[1]).startsWith("--"))
        voices = QString::fromLocal8Bit(argv[1]).split(',');
    for (const QString &voice : voices) {
        const auto r = EspeakRenderer::render(script, voice, 60);
        if (!r)
            continue;
        const auto rhythm = SpeechRhythm::fromRendering(words, *r);
        const auto starts = SpeechRhythm::wordStarts(
            words, r->markers, static_cast<double>(r->samples.size()) / r->sampleRate);
        std::vector<double> ends;
        for (size_t i = 0; i < starts.size(); ++i)
            ends.push_back(starts[i] + (*rhythm)[i].speak);
        std::vector<float> audio;
        AudioResampler(static_cast<int>(r->sampleRate), 1)
            .push(r->samples.data(), r->samples.size(), audio);
        const double seconds = static_cast<double>(audio.size()) / AudioSource::sampleRate;

        const long rssBefore = statusKb("VmRSS:");
        const double cpu0 = cpuSeconds();
        const auto outcome = FollowReplay::run(script, audio);
        const double cpu = cpuSeconds() - cpu0;
        const long peak = statusKb("VmHWM:");

        // Lag: from the end of each word to the first moment the cursor is past it.
        std::vector<double> lags;
        size_t step = 0;
        for (size_t i = 0; i < ends.size(); ++i) {
            while (step < outcome.steps.size() && outcome.steps[step].cursor <= static_cast<int>(i))
                ++step;
            if (step < outcome.steps.size())
                lags.push_back(outcome.steps[step].seconds - ends[i]);
        }
        int close = 0, samples = 0;
        for (double t = ends.front(); t <= ends.back(); t += 0.1, ++samples) {
            int cursor = 0;
            for (const auto &s : outcome.steps)
                if (s.seconds <= t)
                    cursor = s.cursor;
            const int said =
                static_cast<int>(std::upper_bound(ends.begin(), ends.end(), t) - ends.begin());
            close += std::abs(cursor - said) <= 3 ? 1 : 0;
        }
        std::printf("%-10s %6.1fs %6.3f %8.2fs %7.1f%% %8.1f%% %8.1f\n", qPrintable(voice), seconds,
                    cpu / seconds, median(lags), 100.0 * outcome.cursor / outcome.words,
                    100.0 * close / std::max(1, samples), (peak - rssBefore) / 1024.0);
        if (!outcome.error.isEmpty())
            std::printf("  error: %s\n", qPrintable(outcome.error));
    }
    std::printf("(RTF: CPU seconds of the whole replay, recogniser included, per second of "
                "audio, on one core; run MB: peak resident memory above the process before the "
                "first run)\n");
    return 0;
}

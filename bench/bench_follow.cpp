// Voice follow over the reading corpus: four scripts read by espeak-ng and
// flite voices straight, slow, fast, over noise, with ad-libs, retakes and a
// skipped paragraph, through the real recogniser and matcher. Prints for
// each reading and in total how much was reached, how closely the cursor
// followed, its lag, how often it ran ahead of the reader and how long it
// was left behind. An argument keeps only the readings whose
// "script/case/voice" contains it; with a second argument "trace" each
// cursor move is printed with the reader's place, between the recogniser's
// results when QT_LOGGING_RULES="org.orvell.Orvell.VoiceFollow.debug=true".
// The audio is handed over 0.02 s at a time, as a microphone does;
// BENCH_FOLLOW_CHUNK sets another size in seconds.
#include "ReadingCorpus.h"
#include "voice/SpeechDecoder.h"

#include <QGuiApplication>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

namespace {

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

QString voiceName(const ReadingCorpus::Voice &v) {
    QString name = (v.engine == ReadingCorpus::Engine::espeak ? QStringLiteral("espeak:")
                                                              : QStringLiteral("flite:")) +
                   v.name;
    if (v.speed != 1)
        name += QStringLiteral("×") + QString::number(v.speed);
    return name;
}

} // namespace

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (!SpeechDecoder::isModelInstalled()) {
        std::printf("follow: the speech model is not installed\n");
        return 0;
    }
    // `make bench` passes every program Google Benchmark's options: not a filter.
    const bool filtered = argc > 1 && !QByteArray(argv[1]).startsWith("--");
    const QString filter = filtered ? QString::fromLocal8Bit(argv[1]) : QString();
    const bool trace = filtered && argc > 2 && QByteArray(argv[2]) == "trace";
    const double chunk = std::clamp(
        qEnvironmentVariableIsSet("BENCH_FOLLOW_CHUNK")
            ? qEnvironmentVariable("BENCH_FOLLOW_CHUNK").toDouble()
            : 0.02,
        0.005, 1.0);

    std::printf("%-34s %6s %7s %8s %8s %8s %6s %6s %7s %7s %7s %6s\n", "reading", "audio",
                "reached", "within 3", "lag med", "lag p90", "jumps", "ahead", "stuck", "found",
                "retake", "cpu");
    std::vector<ReadingCorpus::Score> scores;
    std::vector<double> medians;
    double audioSeconds = 0, cpu = 0, found = -1;
    int withJump = 0, failed = 0;
    for (const auto &c : ReadingCorpus::all()) {
        const QString label = c.script + QLatin1Char('/') + c.name + QLatin1Char('/') +
                              voiceName(c.voice);
        if (!filter.isEmpty() && !label.contains(filter))
            continue;
        const auto reading = ReadingCorpus::synthesize(c);
        if (!reading.error.isEmpty()) {
            std::printf("%-34s could not be made: %s\n", qPrintable(label),
                        qPrintable(reading.error));
            ++failed;
            continue;
        }
        const double cpu0 = cpuSeconds();
        const auto outcome = FollowReplay::run(
            ReadingCorpus::scriptText(c.script), reading.audio,
            [&](const FollowReplay::Step &step) {
                if (trace)
                    std::fprintf(stderr, "%6.2fs cursor %3d, reader started %3d, said %3d\n",
                                 step.seconds, step.cursor, reading.started(step.seconds),
                                 reading.place(step.seconds));
            },
            chunk);
        const double used = cpuSeconds() - cpu0;
        cpu += used;
        audioSeconds += reading.seconds();
        if (!outcome.error.isEmpty()) {
            std::printf("%-34s failed: %s\n", qPrintable(label), qPrintable(outcome.error));
            ++failed;
            continue;
        }
        const auto s = ReadingCorpus::score(reading, outcome);
        scores.push_back(s);
        medians.push_back(s.lagMedian);
        withJump += s.jumpsAhead > 0 ? 1 : 0;
        std::printf("%-34s %5.0fs %6.1f%% %7.1f%% %7.2fs %7.2fs %6d %6d %6.1fs %7s %6.1fs %5.1f%%\n",
                    qPrintable(label), reading.seconds(), 100 * s.reached, 100 * s.within3,
                    s.lagMedian, s.lagP90, s.jumpsAhead, s.mostAhead, s.longestStuck,
                    s.foundAfterSkip < 0 ? "" : qPrintable(QString::number(s.foundAfterSkip, 'f', 1) + u's'),
                    s.stuckAfterRetake, 100 * used / std::max(1.0, reading.seconds()));
        found = std::max(found, s.foundAfterSkip);
        std::fflush(stdout);
    }
    if (scores.empty())
        return failed > 0 ? 1 : 0;
    double reached = 0, within = 0, p90 = 0, stuck = 0, retake = 0;
    int jumps = 0, ahead = 0;
    for (const auto &s : scores) {
        reached += s.reached;
        within += s.within3;
        p90 = std::max(p90, s.lagP90);
        jumps += s.jumpsAhead;
        ahead = std::max(ahead, s.mostAhead);
        stuck = std::max(stuck, s.longestStuck);
        retake = std::max(retake, s.stuckAfterRetake);
    }
    std::sort(medians.begin(), medians.end());
    const double n = static_cast<double>(scores.size());
    std::printf("%-34s %5.0fs %6.1f%% %7.1f%% %7.2fs %7.2fs %6d %6d %6.1fs %7s %6.1fs %5.1f%%\n",
                "total (mean/worst)", audioSeconds, 100 * reached / n, 100 * within / n,
                medians[medians.size() / 2], p90, jumps, ahead, stuck,
                found < 0 ? "" : qPrintable(QString::number(found, 'f', 1) + u's'), retake,
                100 * cpu / std::max(1.0, audioSeconds));
    std::printf("%zu readings, %d with a jump of more than 5 words ahead, %d not made; "
                "real-time factor %.3f on this machine\n",
                scores.size(), withJump, failed, cpu / std::max(1.0, audioSeconds));
    std::printf("(reached: share of the words read that the cursor passed; within 3: share of "
                "the reading time the cursor is within 3 words of the reader's place; lag: from a "
                "word's end to the cursor passing it, median of the readings' medians and worst "
                "90th percentile; jumps: moves to more than 5 words past the furthest word "
                "started; ahead: most words past it; stuck: longest time the reader was more "
                "than 3 words past the cursor; found: after a skipped paragraph, from the first "
                "word after it starting to the cursor reaching it; retake: after the reader went back "
                "and said words again, longest time from their first word past where they had "
                "been to the cursor within 3 words of them; cpu: the recogniser and matcher's "
                "processor time per second of audio, on one core)\n");
    return failed > 0 ? 1 : 0;
}

// Runs a fuzz target without libFuzzer: every seed file given, then a fixed
// number of deterministic mutations of them (bytes flipped, cut, repeated,
// spliced). A quick pass for the test suite; the long runs use libFuzzer.
#include "FuzzTargets.h"

#include <QByteArray>
#include <QDirIterator>
#include <QFile>
#include <QRandomGenerator>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

void run(const QByteArray &input) {
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(input.constData()),
                           static_cast<size_t>(input.size()));
}

QByteArray mutate(QByteArray b, QRandomGenerator &r, const std::vector<QByteArray> &seeds) {
    const int edits = 1 + static_cast<int>(r.bounded(8));
    for (int e = 0; e < edits; ++e) {
        const qsizetype n = b.size();
        switch (r.bounded(6)) {
        case 0: // flip a byte
            if (n > 0)
                b[static_cast<qsizetype>(r.bounded(static_cast<quint32>(n)))] =
                    static_cast<char>(r.bounded(256));
            break;
        case 1: // cut
            if (n > 0)
                b.truncate(static_cast<qsizetype>(r.bounded(static_cast<quint32>(n))));
            break;
        case 2: // repeat a slice
            if (n > 0) {
                const auto at = static_cast<qsizetype>(r.bounded(static_cast<quint32>(n)));
                b.insert(at, b.mid(at, 1 + static_cast<qsizetype>(r.bounded(64))));
            }
            break;
        case 3: // delete a slice
            if (n > 0)
                b.remove(static_cast<qsizetype>(r.bounded(static_cast<quint32>(n))),
                         1 + static_cast<qsizetype>(r.bounded(32)));
            break;
        case 4: { // splice in part of another seed
            const QByteArray &other = seeds[r.bounded(static_cast<quint32>(seeds.size()))];
            if (!other.isEmpty()) {
                const auto from =
                    static_cast<qsizetype>(r.bounded(static_cast<quint32>(other.size())));
                b.insert(n > 0 ? static_cast<qsizetype>(r.bounded(static_cast<quint32>(n))) : 0,
                         other.mid(from, 1 + static_cast<qsizetype>(r.bounded(128))));
            }
            break;
        }
        default: { // insert markup-ish bytes
            static const char *tokens[] = {
                "{",    "}",    "\\",   "\\u-5", "\\'", "<", ">", "</", "\"", "&amp;", "\r\n",
                "\x13", "\x14", "\x15", "\x07",  "|",   "*", "_", "`",  "[",  "](",    "\xFF\xFE"};
            const char *t = tokens[r.bounded(static_cast<quint32>(std::size(tokens)))];
            b.insert(n > 0 ? static_cast<qsizetype>(r.bounded(static_cast<quint32>(n))) : 0, t);
        }
        }
    }
    return b;
}

} // namespace

int main(int argc, char **argv) {
    int iterations = 2000;
    std::vector<QByteArray> seeds;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg.startsWith("-runs=")) {
            iterations = arg.mid(6).toInt();
            continue;
        }
        QDirIterator it(QString::fromLocal8Bit(arg), QDir::Files, QDirIterator::Subdirectories);
        const auto add = [&](const QString &path) {
            QFile f(path);
            if (f.open(QIODevice::ReadOnly))
                seeds.push_back(f.readAll());
        };
        if (QFileInfo(QString::fromLocal8Bit(arg)).isFile())
            add(QString::fromLocal8Bit(arg));
        while (it.hasNext())
            add(it.next());
    }
    if (seeds.empty())
        seeds.push_back(QByteArray());
    for (const QByteArray &s : seeds)
        run(s);
    QRandomGenerator r(20261206);
    for (int i = 0; i < iterations; ++i)
        run(mutate(seeds[r.bounded(static_cast<quint32>(seeds.size()))], r, seeds));
    std::printf("%zu seeds and %d mutations ran without a crash\n", seeds.size(), iterations);
    return 0;
}

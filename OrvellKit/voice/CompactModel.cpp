#include "voice/CompactModel.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace CompactModel {

namespace {

// The files are a few megabytes; anything far larger is not a model.
constexpr qint64 maxFileBytes = 64 << 20;
constexpr std::uint32_t byteOrderMagic = 0x11223344;
constexpr float varianceFloor = 1e-4f;

// Mixture weights in the sendump are negated logarithms in base 1.0001,
// shifted right by 10 bits, one byte each.
const double weightUnit = 1024 * std::log(1.0001);

std::uint8_t quantize(double weight) {
    if (!(weight > 0))
        return 255;
    return static_cast<std::uint8_t>(
        std::clamp(std::lround(-std::log(weight) / weightUnit), 0L, 255L));
}

double dequantize(std::uint8_t value) {
    static const auto table = [] {
        std::array<double, 256> t{};
        for (int v = 0; v < 256; ++v)
            t[v] = std::exp(-v * weightUnit);
        return t;
    }();
    return table[value];
}

// Reads little-endian values from a file's bytes, remembering whether it ran
// past the end.
struct Reader {
    const QByteArray &bytes;
    qsizetype at = 0;
    bool overrun = false;

    bool has(qsizetype n) {
        if (n < 0 || at + n > bytes.size())
            overrun = true;
        return !overrun;
    }
    template <typename T> T value() {
        T v{};
        if (has(sizeof(T))) {
            std::memcpy(&v, bytes.constData() + at, sizeof(T));
            at += sizeof(T);
        }
        return v;
    }
    void skip(qsizetype n) {
        if (has(n))
            at += n;
    }
};

QString readFile(const QString &path, QByteArray *out) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("Could not read %1: %2").arg(path, f.errorString());
    if (f.size() > maxFileBytes)
        return QStringLiteral("Could not use %1: it is too large for a speech model.").arg(path);
    *out = f.readAll();
    return {};
}

QString writeFile(const QString &path, const QByteArray &bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return QStringLiteral("Could not write %1: %2").arg(path, f.errorString());
    return {};
}

QString invalid(const QString &path, const QString &why) {
    return QStringLiteral("Could not use %1: %2").arg(path, why);
}

template <typename T> void append(QByteArray &out, T v) {
    out.append(reinterpret_cast<const char *>(&v), sizeof(T));
}

// A file of Gaussian parameters: codebook × stream × density × dimension.
struct Gaussians {
    int codebooks = 0, streams = 0, densities = 0;
    std::vector<int> dimensions;
    std::vector<float> values;

    int width() const {
        int w = 0;
        for (int d : dimensions)
            w += d;
        return w;
    }
    // Where a codebook's stream begins in `values`.
    std::size_t offset(int codebook, int stream) const {
        std::size_t before = 0;
        for (int s = 0; s < stream; ++s)
            before += static_cast<std::size_t>(dimensions[s]);
        return (static_cast<std::size_t>(codebook) * width() * densities) +
               before * static_cast<std::size_t>(densities);
    }
};

QString readGaussians(const QString &path, Gaussians *g) {
    QByteArray bytes;
    if (QString error = readFile(path, &bytes); !error.isEmpty())
        return error;
    if (!bytes.startsWith("s3\n"))
        return invalid(path, QStringLiteral("it is not a model parameter file."));
    const qsizetype end = bytes.indexOf("endhdr\n");
    if (end < 0 || end > 4096)
        return invalid(path, QStringLiteral("its header has no end."));
    Reader r{bytes, end + 7};
    if (r.value<std::uint32_t>() != byteOrderMagic)
        return invalid(path, QStringLiteral("its byte order is not this machine's."));
    g->codebooks = r.value<std::int32_t>();
    g->streams = r.value<std::int32_t>();
    g->densities = r.value<std::int32_t>();
    if (r.overrun || g->codebooks < 1 || g->codebooks > 256 || g->streams < 1 || g->streams > 4 ||
        g->densities < 1 || g->densities > 1024)
        return invalid(path, QStringLiteral("its dimensions are out of range."));
    g->dimensions.clear();
    for (int s = 0; s < g->streams; ++s) {
        const int d = r.value<std::int32_t>();
        if (d < 1 || d > 64)
            return invalid(path, QStringLiteral("its dimensions are out of range."));
        g->dimensions.push_back(d);
    }
    const std::int64_t count = r.value<std::int32_t>();
    const std::int64_t expected =
        static_cast<std::int64_t>(g->codebooks) * g->densities * g->width();
    if (r.overrun || count != expected || !r.has(count * 4))
        return invalid(path, QStringLiteral("it is shorter than its dimensions say."));
    g->values.resize(static_cast<std::size_t>(count));
    std::memcpy(g->values.data(), bytes.constData() + r.at, static_cast<std::size_t>(count) * 4);
    if (!std::all_of(g->values.cbegin(), g->values.cend(),
                     [](float v) { return std::isfinite(v); }))
        return invalid(path, QStringLiteral("it holds values that are not numbers."));
    return {};
}

QByteArray gaussianBytes(const Gaussians &g) {
    // The header is padded to four bytes, as the installed files are.
    QByteArray out("s3\nversion 1.0\n  endhdr\n");
    append<std::uint32_t>(out, byteOrderMagic);
    append<std::int32_t>(out, g.codebooks);
    append<std::int32_t>(out, g.streams);
    append<std::int32_t>(out, g.densities);
    for (int d : g.dimensions)
        append<std::int32_t>(out, d);
    append<std::int32_t>(out, static_cast<std::int32_t>(g.values.size()));
    out.append(reinterpret_cast<const char *>(g.values.data()),
               static_cast<qsizetype>(g.values.size() * sizeof(float)));
    return out;
}

// Senone mixture weights: stream × density × senone bytes, after a header
// of length-prefixed strings.
struct Sendump {
    std::vector<QByteArray> header;
    int densities = 0, senones = 0;
    std::vector<std::uint8_t> weights;
};

QString readSendump(const QString &path, int streams, Sendump *s) {
    QByteArray bytes;
    if (QString error = readFile(path, &bytes); !error.isEmpty())
        return error;
    Reader r{bytes};
    for (int i = 0;; ++i) {
        const std::int32_t n = r.value<std::int32_t>();
        if (r.overrun || n < 0 || n > 4096 || i > 64)
            return invalid(path, QStringLiteral("its header is not a mixture weight file's."));
        if (n == 0)
            break;
        if (!r.has(n))
            return invalid(path, QStringLiteral("it ends inside its header."));
        s->header.push_back(bytes.mid(r.at, n));
        r.skip(n);
    }
    // Clustered (4-bit) weights are another layout.
    for (const QByteArray &line : s->header)
        if (line.startsWith("cluster_count ") && std::atoi(line.constData() + 14) != 0)
            return invalid(path, QStringLiteral("its weights are clustered."));
    s->densities = r.value<std::int32_t>();
    s->senones = r.value<std::int32_t>();
    if (r.overrun || s->densities < 1 || s->densities > 1024 || s->senones < 1 ||
        s->senones > 65536)
        return invalid(path, QStringLiteral("its dimensions are out of range."));
    const qsizetype count = static_cast<qsizetype>(streams) * s->densities * s->senones;
    if (!r.has(count))
        return invalid(path, QStringLiteral("it is shorter than its dimensions say."));
    s->weights.assign(bytes.constData() + r.at, bytes.constData() + r.at + count);
    return {};
}

QByteArray sendumpBytes(const Sendump &s) {
    QByteArray out;
    for (const QByteArray &line : s.header) {
        append<std::int32_t>(out, static_cast<std::int32_t>(line.size()));
        out.append(line);
    }
    append<std::int32_t>(out, 0);
    append<std::int32_t>(out, s.densities);
    append<std::int32_t>(out, s.senones);
    out.append(reinterpret_cast<const char *>(s.weights.data()),
               static_cast<qsizetype>(s.weights.size()));
    return out;
}

// The log-determinant of a Gaussian's diagonal covariance. The product of
// a few dozen variances stays well within a double's range.
double logDeterminant(const float *variances, int dimensions) {
    double product = 1;
    for (int k = 0; k < dimensions; ++k)
        product *= variances[k];
    return std::log(product);
}

// a and b merged into one Gaussian with their first and second moments,
// into `mean` and `variance`.
void merged(const Codebook &c, double wa, int a, double wb, int b, float *mean, float *variance) {
    const double w = wa + wb;
    for (int k = 0; k < c.dimensions; ++k) {
        const double ma = c.means[a * c.dimensions + k], mb = c.means[b * c.dimensions + k];
        const double va = c.variances[a * c.dimensions + k], vb = c.variances[b * c.dimensions + k];
        const double m = (wa * ma + wb * mb) / w;
        mean[k] = static_cast<float>(m);
        variance[k] = static_cast<float>(
            std::max((wa * (va + ma * ma) + wb * (vb + mb * mb)) / w - m * m, std::min(va, vb)));
    }
}

} // namespace

void reduce(Codebook &c, int target) {
    const int n = c.densityCount();
    if (target < 1 || n <= target)
        return;
    const int dims = c.dimensions;
    const int senones = static_cast<int>(c.weights.size()) / n;
    // How much the codebook's states use each Gaussian; a Gaussian nobody
    // uses still needs a little weight so that merging it costs something.
    std::vector<double> use(n, 1e-9), logDet(n);
    for (int s = 0; s < senones; ++s)
        for (int d = 0; d < n; ++d)
            use[d] += c.weights[s * n + d];
    for (int d = 0; d < n; ++d)
        logDet[d] = logDeterminant(&c.variances[d * dims], dims);

    // What merging two costs in log-likelihood of the data they model:
    // how much wider the merged Gaussian is than the two.
    std::vector<float> mean(dims), variance(dims);
    const auto cost = [&](int a, int b) {
        merged(c, use[a], a, use[b], b, mean.data(), variance.data());
        return ((use[a] + use[b]) * logDeterminant(variance.data(), dims) - use[a] * logDet[a] -
                use[b] * logDet[b]) /
               2;
    };

    std::vector<int> into(n); // what each Gaussian was merged into, or itself
    for (int d = 0; d < n; ++d)
        into[d] = d;
    std::vector<bool> alive(n, true);
    const double none = std::numeric_limits<double>::infinity();
    std::vector<double> costs(static_cast<std::size_t>(n) * n, none);
    for (int a = 0; a < n; ++a)
        for (int b = a + 1; b < n; ++b)
            costs[a * n + b] = cost(a, b);

    for (int left = n; left > target; --left) {
        int bestA = -1, bestB = -1;
        double best = none;
        for (int a = 0; a < n; ++a) {
            if (!alive[a])
                continue;
            for (int b = a + 1; b < n; ++b)
                if (alive[b] && costs[a * n + b] < best)
                    best = costs[a * n + b], bestA = a, bestB = b;
        }
        if (bestA < 0)
            break;
        merged(c, use[bestA], bestA, use[bestB], bestB, mean.data(), variance.data());
        std::copy(mean.begin(), mean.end(), c.means.begin() + bestA * dims);
        std::copy(variance.begin(), variance.end(), c.variances.begin() + bestA * dims);
        use[bestA] += use[bestB];
        logDet[bestA] = logDeterminant(&c.variances[bestA * dims], dims);
        alive[bestB] = false;
        for (int d = 0; d < n; ++d)
            if (into[d] == bestB)
                into[d] = bestA;
        for (int d = 0; d < n; ++d)
            if (alive[d] && d != bestA)
                costs[std::min(d, bestA) * n + std::max(d, bestA)] =
                    cost(std::min(d, bestA), std::max(d, bestA));
    }

    // Survivors in their original order; each state's weight for a merged
    // Gaussian is what it gave its parts.
    std::vector<int> index(n, -1);
    int kept = 0;
    for (int d = 0; d < n; ++d)
        if (alive[d])
            index[d] = kept++;
    Codebook out;
    out.dimensions = c.dimensions;
    out.means.resize(static_cast<std::size_t>(kept) * c.dimensions);
    out.variances.resize(out.means.size());
    out.weights.assign(static_cast<std::size_t>(senones) * kept, 0.0);
    for (int d = 0; d < n; ++d) {
        if (alive[d]) {
            std::copy_n(c.means.begin() + d * c.dimensions, c.dimensions,
                        out.means.begin() + index[d] * c.dimensions);
            std::copy_n(c.variances.begin() + d * c.dimensions, c.dimensions,
                        out.variances.begin() + index[d] * c.dimensions);
        }
        for (int s = 0; s < senones; ++s)
            out.weights[s * kept + index[into[d]]] += c.weights[s * n + d];
    }
    c = std::move(out);
}

std::vector<int> senoneCodebooks(const QString &path, QString *error) {
    const auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return std::vector<int>();
    };
    QByteArray bytes;
    if (QString e = readFile(path, &bytes); !e.isEmpty())
        return fail(e);
    Reader r{bytes};
    if (!bytes.startsWith("BMDF"))
        return fail(invalid(path, QStringLiteral("it is not a binary model definition.")));
    r.skip(4);
    if (r.value<std::int32_t>() != 1)
        return fail(invalid(path, QStringLiteral("its format version is unknown.")));
    const std::int32_t description = r.value<std::int32_t>();
    if (description < 0 || description > 65536)
        return fail(invalid(path, QStringLiteral("its header is damaged.")));
    r.skip(description);
    std::int32_t h[10];
    for (std::int32_t &v : h)
        v = r.value<std::int32_t>();
    const auto [ciPhones, phones, states, ciSenones, senones, tmats, sequences, contexts, treeNodes,
                silence] = h;
    (void)ciSenones, (void)tmats, (void)contexts, (void)silence;
    if (r.overrun || ciPhones < 1 || ciPhones > 255 || phones < ciPhones || states < 1 ||
        states > 8 || senones < 1 || senones > 65536 || sequences < 1 || treeNodes < 0 ||
        phones > (1 << 24) || sequences > (1 << 24) || treeNodes > (1 << 24))
        return fail(invalid(path, QStringLiteral("its dimensions are out of range.")));
    for (int i = 0; i < ciPhones; ++i) {
        const qsizetype end = bytes.indexOf('\0', r.at);
        if (end < 0 || end - r.at > 64)
            return fail(invalid(path, QStringLiteral("its phone names are damaged.")));
        r.at = end + 1;
    }
    r.at = (r.at + 3) / 4 * 4;
    r.skip(static_cast<qsizetype>(treeNodes) * 8);
    const qsizetype phoneTable = r.at;
    r.skip(static_cast<qsizetype>(phones) * 12);
    const std::int64_t count = r.value<std::int32_t>();
    if (r.overrun || count != static_cast<std::int64_t>(sequences) * states || !r.has(count * 2))
        return fail(invalid(path, QStringLiteral("it is shorter than its dimensions say.")));
    const char *sequence = bytes.constData() + r.at;

    std::vector<int> codebook(static_cast<std::size_t>(senones), -1);
    for (int p = 0; p < phones; ++p) {
        const char *entry = bytes.constData() + phoneTable + static_cast<qsizetype>(p) * 12;
        std::int32_t ssid;
        std::memcpy(&ssid, entry, 4);
        // A context-dependent phone's base is the first of its context bytes.
        const int base = p < ciPhones ? p : static_cast<std::uint8_t>(entry[9]);
        if (ssid < 0 || ssid >= sequences || base >= ciPhones)
            return fail(invalid(path, QStringLiteral("a phone in it is damaged.")));
        for (int j = 0; j < states; ++j) {
            std::int16_t senone;
            std::memcpy(&senone, sequence + (static_cast<qsizetype>(ssid) * states + j) * 2, 2);
            if (senone < 0 || senone >= senones)
                return fail(invalid(path, QStringLiteral("a phone in it is damaged.")));
            if (codebook[senone] < 0)
                codebook[senone] = base;
        }
    }
    if (std::find(codebook.cbegin(), codebook.cend(), -1) != codebook.cend())
        return fail(invalid(path, QStringLiteral("some of its states belong to no phone.")));
    return codebook;
}

QString write(const QString &modelFolder, const QString &outputFolder) {
    const QDir in(modelFolder), out(outputFolder);
    Gaussians means, variances;
    const QString meansPath = in.filePath(QStringLiteral("means"));
    const QString variancesPath = in.filePath(QStringLiteral("variances"));
    const QString sendumpPath = in.filePath(QStringLiteral("sendump"));
    const QString mdefPath = in.filePath(QStringLiteral("mdef"));
    if (QString e = readGaussians(meansPath, &means); !e.isEmpty())
        return e;
    if (QString e = readGaussians(variancesPath, &variances); !e.isEmpty())
        return e;
    if (variances.codebooks != means.codebooks || variances.streams != means.streams ||
        variances.densities != means.densities || variances.dimensions != means.dimensions)
        return invalid(variancesPath, QStringLiteral("it does not match the means."));
    // Unused Gaussians have no variance; the recogniser floors them at
    // this (its -varfloor), and so does the merge.
    for (float &v : variances.values)
        v = std::max(v, varianceFloor);
    Sendump weights;
    if (QString e = readSendump(sendumpPath, means.streams, &weights); !e.isEmpty())
        return e;
    if (weights.densities != means.densities)
        return invalid(sendumpPath, QStringLiteral("it does not match the means."));
    QString e;
    const std::vector<int> codebookOf = senoneCodebooks(mdefPath, &e);
    if (codebookOf.empty())
        return e;
    if (static_cast<int>(codebookOf.size()) != weights.senones ||
        *std::max_element(codebookOf.cbegin(), codebookOf.cend()) >= means.codebooks)
        return invalid(mdefPath, QStringLiteral("it does not match the mixture weights."));

    const int target = std::min(densities, means.densities);
    const int n = means.densities;
    Gaussians newMeans{
        means.codebooks, means.streams, target, means.dimensions,
        std::vector<float>(static_cast<std::size_t>(means.codebooks) * target * means.width())};
    Gaussians newVariances = newMeans;
    Sendump newWeights = weights;
    newWeights.densities = target;
    newWeights.weights.assign(static_cast<std::size_t>(means.streams) * target * weights.senones,
                              255);

    std::vector<std::vector<int>> senonesOf(static_cast<std::size_t>(means.codebooks));
    for (int s = 0; s < weights.senones; ++s)
        senonesOf[codebookOf[s]].push_back(s);
    for (int cb = 0; cb < means.codebooks; ++cb) {
        const std::vector<int> &senones = senonesOf[cb];
        for (int f = 0; f < means.streams; ++f) {
            const int dims = means.dimensions[f];
            Codebook c;
            c.dimensions = dims;
            const std::size_t from = means.offset(cb, f);
            c.means.assign(means.values.begin() + from, means.values.begin() + from + n * dims);
            c.variances.assign(variances.values.begin() + from,
                               variances.values.begin() + from + n * dims);
            c.weights.resize(senones.size() * n);
            for (std::size_t s = 0; s < senones.size(); ++s)
                for (int d = 0; d < n; ++d)
                    c.weights[s * n + d] = dequantize(
                        weights.weights[(static_cast<std::size_t>(f) * n + d) * weights.senones +
                                        senones[s]]);
            reduce(c, target);
            const std::size_t to = newMeans.offset(cb, f);
            std::copy(c.means.begin(), c.means.end(), newMeans.values.begin() + to);
            std::copy(c.variances.begin(), c.variances.end(), newVariances.values.begin() + to);
            for (std::size_t s = 0; s < senones.size(); ++s)
                for (int d = 0; d < target; ++d)
                    newWeights
                        .weights[(static_cast<std::size_t>(f) * target + d) * weights.senones +
                                 senones[s]] = quantize(c.weights[s * target + d]);
        }
    }
    for (const auto &[name, bytes] : {std::pair{QStringLiteral("means"), gaussianBytes(newMeans)},
                                      {QStringLiteral("variances"), gaussianBytes(newVariances)},
                                      {QStringLiteral("sendump"), sendumpBytes(newWeights)}})
        if (QString we = writeFile(out.filePath(name), bytes); !we.isEmpty())
            return we;
    return {};
}

} // namespace CompactModel

#include "voice/CompactModel.h"
#include "voice/SpeechDecoder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>

namespace {

// One-dimensional Gaussians at these means, unit variance, used by two
// states with these weights (state × Gaussian).
CompactModel::Codebook codebook(const std::vector<float> &means,
                                const std::vector<double> &weights) {
    CompactModel::Codebook c;
    c.dimensions = 1;
    c.means = means;
    c.variances.assign(means.size(), 1.0f);
    c.weights = weights;
    return c;
}

bool copyModel(const QString &to) {
    const QDir from(SpeechDecoder::acousticModelPath());
    for (const char *name : {"means", "variances", "sendump", "mdef"})
        if (!QFile::copy(from.filePath(QLatin1String(name)),
                         QDir(to).filePath(QLatin1String(name))))
            return false;
    return true;
}

void overwrite(const QString &path, qsizetype at, const QByteArray &bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.seek(at));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

void truncate(const QString &path, qint64 size) {
    QFile f(path);
    ASSERT_TRUE(f.resize(size));
}

// The weights a sendump gives each (stream, senone), as probabilities.
struct Weights {
    int densities = 0, senones = 0;
    std::vector<std::uint8_t> bytes;
    double sum(int stream, int senone) const {
        double s = 0;
        for (int d = 0; d < densities; ++d)
            s += std::exp(
                -bytes[(static_cast<std::size_t>(stream) * densities + d) * senones + senone] *
                1024 * std::log(1.0001));
        return s;
    }
};

Weights readWeights(const QString &path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray all = f.readAll();
    qsizetype at = 0;
    std::int32_t n = 0;
    do {
        std::memcpy(&n, all.constData() + at, 4);
        at += 4 + n;
    } while (n != 0);
    Weights w;
    std::memcpy(&w.densities, all.constData() + at, 4);
    std::memcpy(&w.senones, all.constData() + at + 4, 4);
    w.bytes.assign(all.constData() + at + 8, all.constData() + all.size());
    return w;
}

} // namespace

TEST(CompactModel, mergesTheClosestGaussiansAndAddsTheirWeights) {
    // Two pairs, each close together; the pairs far apart. Two states.
    auto c = codebook({-0.1f, 9.9f, 0.1f, 10.1f}, {0.1, 0.2, 0.3, 0.4, //
                                                   0.4, 0.3, 0.2, 0.1});
    CompactModel::reduce(c, 2);
    ASSERT_EQ(c.densityCount(), 2);
    // Each pair became one Gaussian halfway between its parts, which the
    // states use equally.
    EXPECT_NEAR(c.means[0], 0.0, 1e-4);
    EXPECT_NEAR(c.means[1], 10.0, 1e-4);
    // Moment matched: the spread of the two means widens it.
    EXPECT_NEAR(c.variances[0], 1.01, 1e-4);
    // Each state keeps all its weight, split as it was between the pairs.
    EXPECT_NEAR(c.weights[0], 0.4, 1e-9);
    EXPECT_NEAR(c.weights[1], 0.6, 1e-9);
    EXPECT_NEAR(c.weights[2], 0.6, 1e-9);
    EXPECT_NEAR(c.weights[3], 0.4, 1e-9);

    // The more used part pulls the merged mean towards it.
    auto pulled = codebook({0.0f, 1.0f, 50.0f}, {0.6, 0.2, 0.2});
    CompactModel::reduce(pulled, 2);
    EXPECT_NEAR(pulled.means[0], 0.25, 1e-4);
    EXPECT_NEAR(pulled.means[1], 50.0, 1e-4);

    // A narrow Gaussian is not swallowed by a wide one beside it when a
    // pair of alike ones can merge instead.
    auto narrow = codebook({0.0f, 0.5f, 5.0f, 5.2f}, {0.25, 0.25, 0.25, 0.25});
    narrow.variances = {0.01f, 4.0f, 1.0f, 1.0f};
    CompactModel::reduce(narrow, 3);
    ASSERT_EQ(narrow.densityCount(), 3);
    EXPECT_FLOAT_EQ(narrow.means[0], 0.0f);
    EXPECT_FLOAT_EQ(narrow.means[1], 0.5f);
    EXPECT_NEAR(narrow.means[2], 5.1, 1e-4);

    // Already small enough: left alone.
    auto small = codebook({1.0f, 2.0f}, {0.5, 0.5});
    CompactModel::reduce(small, 4);
    EXPECT_EQ(small.means, (std::vector<float>{1.0f, 2.0f}));
}

TEST(CompactModel, theInstalledModelBecomesAQuarterOfItsGaussiansWithItsWeightsKept) {
    if (!SpeechDecoder::isModelInstalled())
        GTEST_SKIP() << "the speech model is not installed";
    const QDir installed(SpeechDecoder::acousticModelPath());

    // Each of the first phones' states are its own; every state has a phone.
    QString error;
    const std::vector<int> phoneOf =
        CompactModel::senoneCodebooks(installed.filePath("mdef"), &error);
    ASSERT_FALSE(phoneOf.empty()) << qPrintable(error);
    EXPECT_EQ(phoneOf[0], 0);
    EXPECT_EQ(phoneOf[5], 1);
    EXPECT_EQ(phoneOf[6], 2);
    EXPECT_LT(*std::max_element(phoneOf.begin(), phoneOf.end()), 64);

    QTemporaryDir out;
    ASSERT_EQ(CompactModel::write(installed.path(), out.path()), QString());
    const Weights before = readWeights(installed.filePath("sendump"));
    const Weights after = readWeights(QDir(out.path()).filePath("sendump"));
    EXPECT_EQ(after.densities, CompactModel::densities);
    EXPECT_EQ(after.senones, before.senones);
    EXPECT_EQ(static_cast<qsizetype>(after.bytes.size()),
              3 * static_cast<qsizetype>(after.densities) * after.senones);
    // Merging moves weight between Gaussians, never loses it: every state's
    // mixture still sums to what it did, within the one-byte rounding.
    for (int stream = 0; stream < 3; ++stream)
        for (int senone = 0; senone < after.senones; senone += 97)
            EXPECT_NEAR(after.sum(stream, senone), before.sum(stream, senone),
                        0.1 * before.sum(stream, senone))
                << "stream " << stream << " senone " << senone;
    // A quarter of the Gaussians: the means file shrinks to about a quarter.
    EXPECT_NEAR(QFileInfo(QDir(out.path()).filePath("means")).size(),
                QFileInfo(installed.filePath("means")).size() / 4.0, 64);
}

TEST(CompactModel, refusesDamagedModelFilesNamingThem) {
    if (!SpeechDecoder::isModelInstalled())
        GTEST_SKIP() << "the speech model is not installed";
    const auto damaged = [](const std::function<void(const QDir &)> &damage) {
        QTemporaryDir model, out;
        EXPECT_TRUE(copyModel(model.path()));
        damage(QDir(model.path()));
        return CompactModel::write(model.path(), out.path());
    };
    // Cut short, wrong byte order, dimensions out of range, a sendump with a
    // header that never ends, a definition with a phone out of range, and
    // a missing file: each refused with the file's name, nothing crashes.
    EXPECT_TRUE(damaged([](const QDir &m) {
                    truncate(m.filePath("means"), 5000);
                }).contains("/means: it is shorter"));
    EXPECT_TRUE(damaged([](const QDir &m) {
                    overwrite(m.filePath("variances"), 40, QByteArray("\x11\x22\x33\x44", 4));
                }).contains("/variances: its byte order"));
    EXPECT_TRUE(damaged([](const QDir &m) {
                    overwrite(m.filePath("means"), 44, QByteArray("\xff\xff\xff\x7f", 4));
                }).contains("/means: its dimensions are out of range"));
    EXPECT_TRUE(damaged([](const QDir &m) {
                    overwrite(m.filePath("sendump"), 0, QByteArray("\xff\xff\xff\x7f", 4));
                }).contains("/sendump: its header"));
    EXPECT_TRUE(damaged([](const QDir &m) {
                    truncate(m.filePath("sendump"), 100000);
                }).contains("/sendump: it is shorter"));
    EXPECT_TRUE(damaged([](const QDir &m) {
                    truncate(m.filePath("mdef"), 2000000);
                }).contains("/mdef: it is shorter"));
    EXPECT_TRUE(
        damaged([](const QDir &m) { QFile::remove(m.filePath("mdef")); }).contains("/mdef"));
    EXPECT_TRUE(damaged([](const QDir &m) {
                    // The means of another model size than the variances.
                    QFile::remove(m.filePath("variances"));
                    QFile::copy(m.filePath("means"), m.filePath("variances"));
                    overwrite(m.filePath("variances"), 52, QByteArray("\x40\0\0\0", 4));
                }).contains("/variances"));
}

#include "pace/RhythmCache.h"

#include "support/LibraryTestSupport.h"
#include "support/QtPrinters.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(RhythmCache, keysDigestVersionVoiceAndText) {
    EXPECT_EQ(RhythmCache::key("", ""),
              QCryptographicHash::hash(QByteArray("2\0\0", 3), QCryptographicHash::Sha256).toHex());
    EXPECT_NE(RhythmCache::key("Hello", "en"), RhythmCache::key("Hello", "en-us"));
    EXPECT_EQ(RhythmCache::key("Hello", "en").size(), 64);
}

TEST(RhythmCache, storesOnDiskReadsBackAndTreatsDamageAsAMiss) {
    QTemporaryDir dir;
    const std::vector<WordRhythm> rhythm = {{0.25, 0.1}, {0.5, 0}};
    {
        RhythmCache cache(dir.filePath("Rhythm"));
        cache.store(rhythm, "a");
        cache.store(rhythm, "b");
    }
    RhythmCache reopened(dir.filePath("Rhythm"));
    EXPECT_EQ(reopened.rhythm("a"), rhythm);
    EXPECT_EQ(readFile(dir.filePath("Rhythm/a.json")),
              R"([{"pauseAfter":0.1,"speak":0.25},{"pauseAfter":0,"speak":0.5}])");
    writeFile(dir.filePath("Rhythm/b.json"), "{not json");
    EXPECT_EQ(reopened.rhythm("b"), std::nullopt);
    EXPECT_TRUE(QFile::exists(dir.filePath("Rhythm/b.json")));
    reopened.store(rhythm, "b");
    EXPECT_EQ(RhythmCache(dir.filePath("Rhythm")).rhythm("b"), rhythm);

    RhythmCache memoryOnly;
    EXPECT_EQ(memoryOnly.rhythm("a"), std::nullopt);
    memoryOnly.store(rhythm, "a");
    EXPECT_EQ(memoryOnly.rhythm("a"), rhythm);
}

TEST(RhythmCache, keepsTheTwoHundredNewestFiles) {
    QTemporaryDir dir;
    RhythmCache cache(dir.path());
    const QDateTime base = QDateTime::fromSecsSinceEpoch(1767621792);
    for (int i = 0; i < RhythmCache::limit; ++i) {
        const QString path = dir.filePath(QStringLiteral("k%1.json").arg(i));
        writeFile(path, "[]");
        QFile f(path);
        f.open(QIODevice::ReadWrite);
        // k0 is the newest, k199 the oldest.
        f.setFileTime(base.addSecs(-i), QFileDevice::FileModificationTime);
    }
    cache.store({{0.1, 0}}, "new");
    EXPECT_EQ(filesIn(dir.path()).size(), RhythmCache::limit);
    EXPECT_FALSE(QFile::exists(dir.filePath("k199.json")));
    EXPECT_TRUE(QFile::exists(dir.filePath("k198.json")));
    EXPECT_TRUE(QFile::exists(dir.filePath("new.json")));
}

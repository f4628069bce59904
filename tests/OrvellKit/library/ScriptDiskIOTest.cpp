#include "library/ScriptDiskIO.h"
#include "support/LibraryTestSupport.h"

#include "support/QtPrinters.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// 2026-01-05 14:03:12 UTC
constexpr double stampedAt = 1767621792;

struct DiskFixture : ::testing::Test {
    QTemporaryDir dir;
    QString root = dir.filePath("library");

    QString scripts() const { return ScriptDiskIO::scriptsDirectory(root); }
    QString manifest() const { return ScriptDiskIO::manifestPath(root); }

    QUuid addBodyFile(const QByteArray &bytes, bool lowerCase = false) {
        const QUuid id = QUuid::createUuid();
        QString name = Script::idText(id);
        if (lowerCase)
            name = name.toLower();
        writeFile(scripts() + "/" + name + ".txt", bytes);
        return id;
    }
};

} // namespace

TEST_F(DiskFixture, newRootIsPreparedAndEmpty) {
    const LoadOutcome outcome = ScriptDiskIO::load(root, stampedAt);
    EXPECT_TRUE(QFileInfo(scripts()).isDir());
    EXPECT_TRUE(outcome.manifest.isEmpty());
    EXPECT_EQ(outcome.manifest.selectedID, std::nullopt);
    EXPECT_EQ(outcome.recovery, std::nullopt);
    EXPECT_FALSE(QFile::exists(manifest()));
}

TEST_F(DiskFixture, missingIndexIsRebuiltFromBodiesWithoutWriting) {
    const QUuid a = addBodyFile("# Alpha\nText");
    const QUuid b = addBodyFile("Bravo line\n", true);
    addBodyFile("");
    writeFile(scripts() + "/notes.txt", "not a script");
    writeFile(scripts() + "/" + Script::idText(QUuid::createUuid()) + ".md", "markdown");
    writeFile(scripts() + "/." + Script::idText(QUuid::createUuid()) + ".txt", "hidden");
    const QUuid upper = QUuid::createUuid();
    writeFile(scripts() + "/" + Script::idText(upper) + ".TXT", "Shouting");

    const LoadOutcome outcome = ScriptDiskIO::load(root, stampedAt);
    EXPECT_EQ(outcome.recovery, std::nullopt);
    EXPECT_FALSE(QFile::exists(manifest()));
    const auto scriptsFound = outcome.scripts();
    ASSERT_EQ(scriptsFound.size(), 4u);
    QStringList titles;
    for (const Script &s : scriptsFound)
        titles << s.title;
    titles.sort();
    EXPECT_EQ(titles, (QStringList{"Alpha", "Bravo line", "Shouting", "Untitled Script"}));
    EXPECT_EQ(outcome.manifest.selectedID, scriptsFound.front().id);
    EXPECT_EQ(outcome.bodies.value(a), "# Alpha\nText");
    EXPECT_EQ(outcome.bodies.value(b), "Bravo line\n");
    for (const Script &s : scriptsFound) {
        EXPECT_FALSE(s.isFavorite);
        EXPECT_EQ(s.targetSeconds, std::nullopt);
    }
}

TEST_F(DiskFixture, damagedIndexIsSetAsideRebuiltAndReported) {
    addBodyFile("One");
    addBodyFile("Two");
    for (const QByteArray &damage :
         {QByteArray("{"),
          QByteArray(
              R"({"entries":[{"id":"00000001-0000-4000-8000-00000000000A","title":"A",)"
              R"("createdAt":"2026-01-05","updatedAt":"2026-01-05T00:00:00Z","wordCount":1}]})"),
          QByteArray(
              R"({"entries":[{"id":"00000001-0000-4000-8000-00000000000A","title":"A",)"
              R"("createdAt":"2026-01-05T00:00:00Z","updatedAt":"2026-01-05T00:00:00Z"}]})")}) {
        writeFile(manifest(), damage);
        const LoadOutcome outcome = ScriptDiskIO::load(root, stampedAt);
        ASSERT_TRUE(outcome.recovery);
        EXPECT_EQ(outcome.recovery->recoveredCount, 2);
        EXPECT_EQ(readFile(outcome.recovery->backupPath), damage);
        EXPECT_FALSE(outcome.recovery->reason.isEmpty());
        QString error;
        EXPECT_TRUE(ScriptManifest::fromJson(readFile(manifest()), &error)) << error.toStdString();
    }
    EXPECT_TRUE(filesIn(root).contains("library.json.corrupt-20260105-140312"));
    EXPECT_TRUE(filesIn(root).contains("library.json.corrupt-20260105-140312-2"));
    EXPECT_TRUE(filesIn(root).contains("library.json.corrupt-20260105-140312-3"));
}

TEST(RecoveryReport, noticeWording) {
    RecoveryReport one{"/x/library.json.corrupt-20260105-140312", 1, "bad"};
    EXPECT_EQ(one.noticeTitle(), "Library index rebuilt");
    EXPECT_EQ(one.noticeText(),
              QString::fromUtf8("library.json could not be read, so the order and any custom "
                                "names were rebuilt from your 1 script file. Nothing was deleted "
                                "\u2014 the old index was kept as "
                                "library.json.corrupt-20260105-140312."));
    RecoveryReport twelve{"/x/b", 12, "bad"};
    EXPECT_TRUE(twelve.noticeText().contains("from your 12 script files. Nothing"));
    RecoveryReport none{"/x/b", 0, "bad"};
    EXPECT_TRUE(none.noticeText().contains("from your 0 script files."));
}

TEST_F(DiskFixture, orphansAreAdoptedOnceAndMissingBodiesStayEmpty) {
    const Script known{QUuid::createUuid(), "Known", "Known body", 10, 10, true, 60};
    const Script ghost{QUuid::createUuid(), "Ghost", "", 20, 20, false, std::nullopt};
    ASSERT_TRUE(ScriptDiskIO::writeBody(known.body, known.id, root, nullptr));
    ASSERT_TRUE(
        ScriptDiskIO::writeManifest(ScriptManifest({known, ghost}, ghost.id), root, nullptr));
    const QUuid orphan = addBodyFile("Orphan text");

    const LoadOutcome first = ScriptDiskIO::load(root, stampedAt);
    const auto scriptsFound = first.scripts();
    ASSERT_EQ(scriptsFound.size(), 3u);
    EXPECT_EQ(scriptsFound[0], known);
    EXPECT_EQ(scriptsFound[1].body, "");
    EXPECT_EQ(scriptsFound[2].id, orphan);
    EXPECT_EQ(scriptsFound[2].title, "Orphan text");
    EXPECT_EQ(first.manifest.selectedID, ghost.id);

    const QByteArray written = readFile(manifest());
    QString error;
    EXPECT_EQ(ScriptManifest::fromJson(written, &error)->order.size(), 3);
    const LoadOutcome second = ScriptDiskIO::load(root, stampedAt);
    EXPECT_EQ(readFile(manifest()), written); // nothing adopted, nothing rewritten
    EXPECT_EQ(second.scripts().size(), 3u);
}

TEST_F(DiskFixture, bodiesInOtherEncodingsAreShownAndMarkedForSafekeeping) {
    const Script s{QUuid::createUuid(), "Quotes", "", 1, 1, false, std::nullopt};
    ASSERT_TRUE(ScriptDiskIO::writeManifest(ScriptManifest({s}, std::nullopt), root, nullptr));
    const QByteArray windows1252 = "\x93"
                                   "Caf\xe9\x94 \x96 fine";
    writeFile(ScriptDiskIO::bodyPath(s.id, root), windows1252);
    const QUuid orphan = addBodyFile("na\xefve");

    const LoadOutcome outcome = ScriptDiskIO::load(root, stampedAt);
    EXPECT_EQ(outcome.bodies.value(s.id), QString::fromUtf8("\u201CCaf\u00e9\u201D \u2013 fine"));
    EXPECT_EQ(outcome.bodies.value(orphan), QString::fromUtf8("na\u00efve"));
    EXPECT_EQ(outcome.unsafeBodies, (QSet<QUuid>{s.id, orphan}));

    QString kept, error;
    ASSERT_TRUE(ScriptDiskIO::keepCopyOfBody(s.id, root, stampedAt, &kept, &error));
    EXPECT_EQ(QFileInfo(kept).fileName(), Script::idText(s.id) + ".txt.original-20260105-140312");
    EXPECT_EQ(readFile(kept), windows1252);
    ASSERT_TRUE(ScriptDiskIO::keepCopyOfBody(s.id, root, stampedAt, &kept, &error));
    EXPECT_TRUE(kept.endsWith("-2"));
}

TEST_F(DiskFixture, writesAreAtomicAndReportTheSystemsReason) {
    const QUuid id = QUuid::createUuid();
    QString error;
    ASSERT_TRUE(ScriptDiskIO::writeBody(QString::fromUtf8("caf\u00e9"), id, root, &error));
    EXPECT_EQ(readFile(ScriptDiskIO::bodyPath(id, root)), "caf\xc3\xa9");
    // Nothing but the body itself is left in the folder.
    EXPECT_EQ(filesIn(scripts()), QStringList{Script::idText(id) + ".txt"});

    // A folder standing where the index goes makes the write fail, whoever runs the test.
    QDir().mkpath(manifest());
    EXPECT_FALSE(ScriptDiskIO::writeManifest(ScriptManifest(), root, &error));
    EXPECT_EQ(error, "Is a directory");
    EXPECT_EQ(filesIn(root), QStringList());

    ASSERT_TRUE(ScriptDiskIO::deleteBody(id, root, &error));
    EXPECT_FALSE(QFile::exists(ScriptDiskIO::bodyPath(id, root)));
    EXPECT_TRUE(ScriptDiskIO::deleteBody(id, root, &error));
}

#include "import/ImportQueue.h"
#include "library/ScriptStore.h"
#include "support/DiskFault.h"
#include "support/LibraryTestSupport.h"
#include "support/ManualScheduler.h"

#include "support/QtPrinters.h"

#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct QueueFixture : ::testing::Test {
    QTemporaryDir dir;
    QString root = dir.filePath("library");
    ManualScheduler clock;
    ScriptStore store{root, ScriptStore::Options{false, {}, &clock, {}}};
    ImportQueue queue{store, {}};

    QStringList makeFiles(int count) {
        QStringList paths;
        for (int i = 0; i < count; ++i) {
            paths << dir.filePath(QStringLiteral("in/talk-%1.txt").arg(i, 5, 10, QLatin1Char('0')));
            writeFile(paths.back(), QByteArray("Words of talk ") + QByteArray::number(i));
        }
        return paths;
    }

    ImportQueue::Outcome run(const QStringList &paths) {
        std::optional<ImportQueue::Outcome> outcome;
        queue.import(paths, [&](const ImportQueue::Outcome &o) { outcome = o; });
        QSignalSpy finished(&queue, &ImportQueue::finished);
        while (!outcome && finished.wait(10000)) {
        }
        return outcome.value_or(ImportQueue::Outcome{"timed out", -1, {}, false});
    }
};

} // namespace

TEST_F(QueueFixture, importsManyFilesInBatchesAndCountsOnlyWhatIsOnDisk) {
    QStringList paths = makeFiles(450);
    paths.insert(7, dir.filePath("in/missing.txt"));
    QSignalSpy progress(&queue, &ImportQueue::progress);
    QSignalSpy selections(&store, &ScriptStore::selectedIDChanged);
    const ImportQueue::Outcome o = run(paths);
    EXPECT_EQ(o.imported, 450);
    EXPECT_EQ(selections.count(), 1) << "the island changes script once, not each batch";
    EXPECT_EQ(o.summary, "Imported 450 scripts.");
    ASSERT_EQ(o.problems.size(), 1);
    EXPECT_TRUE(o.problems[0].startsWith(dir.filePath("in/missing.txt") + ": "));
    EXPECT_EQ(store.scripts().size(), 450u);
    EXPECT_EQ(store.scripts()[7].title, "talk-00007") << "in the order given";
    EXPECT_EQ(store.selected()->title, "talk-00449");
    store.waitForDiskIdle();
    EXPECT_EQ(filesIn(ScriptDiskIO::scriptsDirectory(root)).size(), 450)
        << "no title left beside a listed text";
    ASSERT_GE(progress.count(), 3) << "at most 200 a batch";
    EXPECT_EQ(progress.last().at(0).toInt(), 451);
    EXPECT_TRUE(readFile(ScriptDiskIO::manifestPath(root)).contains("talk-00449"));
}

TEST_F(QueueFixture, aFullDiskImportsNothingAndSaysSoForEachFile) {
    const QStringList paths = makeFiles(2);
    DiskFault fault("/Scripts/", ENOSPC);
    const ImportQueue::Outcome o = run(paths);
    EXPECT_EQ(o.imported, 0);
    ASSERT_EQ(o.problems.size(), 2);
    const QString body = ScriptDiskIO::scriptsDirectory(root) + "/";
    EXPECT_TRUE(o.problems[0].startsWith(paths[0] + ": not imported: could not write " + body));
    EXPECT_TRUE(o.problems[0].endsWith(": No space left on device.")) << o.problems[0].toStdString();
    EXPECT_TRUE(o.summary.startsWith("Nothing was imported: could not write ")) << o.summary.toStdString();
    EXPECT_TRUE(store.scripts().empty());
    EXPECT_FALSE(store.hasUnsaved()) << "refused, not pending: the files are still where they were";
}

TEST_F(QueueFixture, aCancelledImportKeepsWhatWasAddedAndSaysHowFarItGot) {
    const QStringList paths = makeFiles(3000);
    std::optional<ImportQueue::Outcome> outcome;
    queue.import(paths, [&](const ImportQueue::Outcome &o) { outcome = o; });
    // A second job waiting behind it is dropped with the cancel.
    std::optional<ImportQueue::Outcome> queued;
    queue.import(makeFiles(1), [&](const ImportQueue::Outcome &o) { queued = o; });
    QSignalSpy progress(&queue, &ImportQueue::progress);
    ASSERT_TRUE(progress.wait(10000));
    queue.cancel();
    ASSERT_TRUE(queued && queued->cancelled);
    QSignalSpy finished(&queue, &ImportQueue::finished);
    while (!outcome && finished.wait(10000)) {
    }
    ASSERT_TRUE(outcome);
    EXPECT_TRUE(outcome->cancelled);
    EXPECT_GT(outcome->imported, 0);
    EXPECT_LT(outcome->imported, 3000);
    EXPECT_EQ(static_cast<int>(store.scripts().size()), outcome->imported);
    EXPECT_EQ(outcome->summary, QStringLiteral("Imported %1 of %2 files before the import was "
                                               "cancelled.")
                                    .arg(QLocale().toString(outcome->imported),
                                         QLocale().toString(3000)));
    EXPECT_FALSE(queue.isBusy());
}

TEST_F(QueueFixture, quittingAnswersARunningImportWithWhatItImported) {
    std::optional<ImportQueue::Outcome> outcome;
    queue.import(makeFiles(3000), [&](const ImportQueue::Outcome &o) { outcome = o; });
    QSignalSpy progress(&queue, &ImportQueue::progress);
    ASSERT_TRUE(progress.wait(10000));
    queue.stopForQuit();
    ASSERT_TRUE(outcome) << "answered before the event loop ends";
    EXPECT_TRUE(outcome->cancelled);
    EXPECT_EQ(static_cast<int>(store.scripts().size()), outcome->imported);
    EXPECT_FALSE(queue.isBusy());
}

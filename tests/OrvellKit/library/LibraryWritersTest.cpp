#include "base/AtomicFile.h"
#include "library/LibraryLock.h"
#include "library/ScriptStore.h"
#include "support/DiskFault.h"
#include "support/LibraryTestSupport.h"
#include "support/ManualScheduler.h"

#include "support/QtPrinters.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

struct WritersFixture : ::testing::Test {
    QTemporaryDir dir;
    QString root = dir.filePath("library");
    ManualScheduler clock;

    std::unique_ptr<ScriptStore> open() {
        return std::make_unique<ScriptStore>(root, ScriptStore::Options{false, {}, &clock, {}});
    }

    static void settle(ScriptStore &store) {
        store.waitForDiskIdle();
        QCoreApplication::processEvents();
    }

    QString bodyPath(const QUuid &id) const { return ScriptDiskIO::bodyPath(id, root); }

    // What a text editor does on save: a new file renamed over the old one.
    static void saveLikeAnEditor(const QString &path, const QByteArray &bytes) {
        ASSERT_TRUE(writeFile(path + ".swp", bytes));
        ASSERT_EQ(::rename(QFile::encodeName(path + ".swp"), QFile::encodeName(path)), 0);
    }

    static const Script *titled(const ScriptStore &store, const QString &title) {
        for (const Script &s : store.scripts())
            if (s.title == title)
                return &s;
        return nullptr;
    }
};

} // namespace

TEST_F(WritersFixture, aSecondWriterWithoutTheLockWritesNothingUntilTheFirstLetsGo) {
    auto first = open();
    EXPECT_TRUE(first->holdsLock());
    EXPECT_EQ(LibraryLock::holder(root), ::getpid());
    const Script kept = first->create("Kept", "the first writer's text", true);

    auto second = open();
    EXPECT_FALSE(second->holdsLock());
    ASSERT_EQ(second->scripts().size(), 1u);
    const Script late = second->create("Late", "written only once allowed", false);
    EXPECT_FALSE(QFile::exists(bodyPath(late.id)));
    EXPECT_TRUE(second->saveProblem().contains(
        QStringLiteral("in use by another program (process %1)").arg(::getpid())))
        << second->saveProblem().toStdString();
    // The first writer's index is untouched by the second.
    first->rename(kept.id, "Kept still");
    EXPECT_TRUE(readFile(ScriptDiskIO::manifestPath(root)).contains("Kept still"));

    first.reset();
    EXPECT_EQ(LibraryLock::holder(root), std::nullopt);
    // Nothing the second one held is lost: its next write takes the lock.
    second->rename(late.id, "Late but saved");
    EXPECT_TRUE(second->holdsLock());
    EXPECT_TRUE(readFile(ScriptDiskIO::manifestPath(root)).contains("Late but saved"));
}

TEST_F(WritersFixture, aBodyChangedByAnotherProgramIsReloaded) {
    auto store = open();
    const Script s = store->create("Talk", "Hello", true);
    QSignalSpy changed(store.get(), &ScriptStore::scriptsChanged);

    ASSERT_TRUE(writeFile(bodyPath(s.id), "Hello from a plain write"));
    store->checkDisk();
    EXPECT_EQ(store->selectedBody(), "Hello from a plain write");
    EXPECT_EQ(store->selectedWordCount(), 5);
    EXPECT_EQ(changed.count(), 1);

    saveLikeAnEditor(bodyPath(s.id), "Saved by an editor that renames");
    store->checkDisk();
    EXPECT_EQ(store->selectedBody(), "Saved by an editor that renames");
    EXPECT_EQ(store->scripts().size(), 1u);

    // This store's own saves are not taken for someone else's.
    store->updateBody("Typed in Orvell", s.id);
    clock.advance(1);
    settle(*store);
    const int before = changed.count();
    store->checkDisk();
    EXPECT_EQ(changed.count(), before);
    EXPECT_EQ(store->scripts().size(), 1u);
}

TEST_F(WritersFixture, whenBothChangedNeitherVersionIsLost) {
    auto store = open();
    const Script s = store->create("Talk", "Hello", true);
    store->updateBody("Orvell's unsaved edit", s.id);
    ASSERT_TRUE(writeFile(bodyPath(s.id), "The editor's version of the talk"));
    store->checkDisk();

    EXPECT_EQ(store->script(s.id)->body, "Orvell's unsaved edit");
    const Script *theirs = titled(*store, "Talk (changed on disk)");
    ASSERT_NE(theirs, nullptr);
    EXPECT_EQ(theirs->body, "The editor's version of the talk");
    const QUuid theirsId = theirs->id;

    clock.advance(1);
    settle(*store);
    EXPECT_EQ(readFile(bodyPath(s.id)), "Orvell's unsaved edit");
    EXPECT_EQ(readFile(bodyPath(theirsId)), "The editor's version of the talk");
    store.reset();
    auto again = open();
    EXPECT_EQ(again->scripts().size(), 2u);
}

TEST_F(WritersFixture, aNewFileInTheFolderIsAdoptedAndTheWatchNoticesChanges) {
    auto store = open();
    const Script s = store->create("Talk", "Hello", true);
    const QUuid dropped = QUuid::createUuid();
    ASSERT_TRUE(writeFile(bodyPath(dropped), "Notes from the CLI\nSecond line"));
    store->checkDisk();
    const Script *adopted = store->script(dropped);
    ASSERT_NE(adopted, nullptr);
    EXPECT_EQ(adopted->title, "Notes from the CLI");
    EXPECT_TRUE(readFile(ScriptDiskIO::manifestPath(root)).contains("Notes from the CLI"));

    // Left to the folder watch alone, a change arrives through the event loop.
    QSignalSpy changed(store.get(), &ScriptStore::scriptsChanged);
    saveLikeAnEditor(bodyPath(s.id), "Changed while Orvell runs");
    ASSERT_TRUE(changed.wait(5000));
    EXPECT_EQ(store->selectedBody(), "Changed while Orvell runs");
}

TEST_F(WritersFixture, aBatchAddsEachScriptWithItsBodyAndIndexEntryOrNotAtAll) {
    auto store = open();
    DiskFault fault;
    // One text is refused: the others go in, under one index write.
    int writes = 0;
    AtomicFile::setFaultForTesting([&](const QString &path) {
        if (path.endsWith(".txt") && ++writes == 2)
            return ENOSPC;
        return 0;
    });
    const auto added = store->addNow({{"One", "first text"}, {"Two", "second"}, {"Three", "third"}},
                                     true);
    AtomicFile::setFaultForTesting({});
    ASSERT_EQ(added.size(), 3u);
    ASSERT_TRUE(added[0].script && added[2].script);
    EXPECT_FALSE(added[1].script);
    EXPECT_TRUE(added[1].error.startsWith("could not write " + root + "/Scripts/"));
    EXPECT_TRUE(added[1].error.endsWith(": No space left on device")) << added[1].error.toStdString();
    EXPECT_EQ(store->scripts().size(), 2u);
    EXPECT_EQ(store->selectedID(), added[2].script->id);
    QStringList expected{Script::idText(added[0].script->id) + ".txt",
                         Script::idText(added[2].script->id) + ".txt"};
    expected.sort();
    EXPECT_EQ(filesIn(ScriptDiskIO::scriptsDirectory(root)), expected)
        << "no title or body of the refused one is left behind";
    EXPECT_EQ(readFile(bodyPath(added[2].script->id)), "third");
    EXPECT_TRUE(readFile(ScriptDiskIO::manifestPath(root)).contains("Three"));
    EXPECT_FALSE(store->hasUnsaved()) << "a refused import is reported, not pending";

    // The index cannot be written: nothing of the batch stays, on disk or here.
    fault.set("library.json", EROFS);
    const auto lost = store->addNow({{"Lost", "never listed"}}, true);
    ASSERT_FALSE(lost[0].script);
    EXPECT_EQ(lost[0].error,
              "could not write " + ScriptDiskIO::manifestPath(root) + ": Read-only file system");
    EXPECT_EQ(filesIn(ScriptDiskIO::scriptsDirectory(root)).size(), 2);
    EXPECT_EQ(store->scripts().size(), 2u);
    EXPECT_EQ(store->selectedID(), added[2].script->id);
}

TEST_F(WritersFixture, aWriteKilledBetweenBodyAndIndexKeepsTheTitleAndLeavesNoTemporaries) {
    // What a one-shot writer leaves when killed after the body: the body, its
    // title beside it, and a large temporary of the index it was writing.
    const QUuid id = QUuid::createUuid();
    ASSERT_TRUE(ScriptDiskIO::writeBody("first line of the talk", id, root, nullptr));
    ASSERT_TRUE(writeFile(ScriptDiskIO::pendingTitlePath(id, root), "Quarterly review"));
    ASSERT_TRUE(writeFile(root + "/.library.json.orvell-tmp-AbC123", QByteArray(1 << 20, 'x')));
    ASSERT_TRUE(AtomicFile::isTemporaryName(".library.json.orvell-tmp-AbC123"));
    // Left by a crash a while ago (one of the last moments may still be being written).
    QFile leftover(root + "/.library.json.orvell-tmp-AbC123");
    ASSERT_TRUE(leftover.open(QIODevice::ReadWrite));
    ASSERT_TRUE(leftover.setFileTime(QDateTime::currentDateTime().addSecs(-60),
                                     QFileDevice::FileModificationTime));
    leftover.close();

    auto store = open();
    ASSERT_EQ(store->scripts().size(), 1u);
    EXPECT_EQ(store->scripts().front().title, "Quarterly review");
    EXPECT_FALSE(QFile::exists(root + "/.library.json.orvell-tmp-AbC123"));
    store->toggleFavorite(id);
    EXPECT_TRUE(readFile(ScriptDiskIO::manifestPath(root)).contains("Quarterly review"));
    // Once the index lists it, the title beside the body has done its work.
    store.reset();
    open();
    EXPECT_FALSE(QFile::exists(ScriptDiskIO::pendingTitlePath(id, root)));
}

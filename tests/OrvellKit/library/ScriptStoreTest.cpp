#include "library/ScriptStore.h"
#include "support/LibraryTestSupport.h"
#include "support/ManualScheduler.h"

#include "support/QtPrinters.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct StoreFixture : ::testing::Test {
    QTemporaryDir dir;
    QString root = dir.filePath("library");
    ManualScheduler clock;
    double wall = 1767621792; // 2026-01-05 14:03:12 UTC

    std::unique_ptr<ScriptStore> open(bool seed = false) {
        ScriptStore::Options options;
        options.seedIfEmpty = seed;
        options.welcomeBody = "Welcome to Orvell.";
        options.scheduler = &clock;
        options.now = [this] { return wall + clock.now(); };
        return std::make_unique<ScriptStore>(root, options);
    }

    // Lets the disk worker finish and its results reach the store.
    static void settle(ScriptStore &store) {
        store.waitForDiskIdle();
        QCoreApplication::processEvents();
    }

    QByteArray bodyOnDisk(const QUuid &id) const {
        return readFile(ScriptDiskIO::bodyPath(id, root));
    }

    ScriptManifest indexOnDisk() const {
        QString error;
        return ScriptManifest::fromJson(readFile(ScriptDiskIO::manifestPath(root)), &error)
            .value_or(ScriptManifest());
    }
};

} // namespace

TEST_F(StoreFixture, seedsAWelcomeScriptIntoAnEmptyLibraryOnly) {
    auto store = open(true);
    ASSERT_EQ(store->scripts().size(), 1u);
    const Script &welcome = store->scripts().front();
    EXPECT_EQ(welcome.title, "Welcome");
    EXPECT_EQ(store->selectedID(), welcome.id);
    EXPECT_EQ(store->selectedWordCount(), 3);
    EXPECT_EQ(bodyOnDisk(welcome.id), "Welcome to Orvell.");
    EXPECT_EQ(indexOnDisk().order, QList<QUuid>{welcome.id});
    store.reset();

    auto again = open(true);
    EXPECT_EQ(again->scripts().size(), 1u);
    QTemporaryDir other;
    ScriptStore unseeded(other.filePath("x"), {false, {}, &clock, {}});
    EXPECT_TRUE(unseeded.isEmpty());
}

TEST_F(StoreFixture, typingIsSavedOnceAfterThePause) {
    auto store = open();
    const Script s = store->create("Talk", "Hello", true);
    clock.advance(1);
    for (const char *text : {"Hello w", "Hello wo", "Hello world"}) {
        store->updateBody(text, s.id);
        clock.advance(0.2);
    }
    settle(*store);
    EXPECT_EQ(bodyOnDisk(s.id), "Hello");
    clock.advance(0.29);
    settle(*store);
    EXPECT_EQ(bodyOnDisk(s.id), "Hello");
    clock.advance(0.02);
    settle(*store);
    EXPECT_EQ(bodyOnDisk(s.id), "Hello world");
    const ScriptEntry entry = indexOnDisk().entries.at(0);
    EXPECT_EQ(entry.wordCount, 2);
    EXPECT_NEAR(entry.updatedAt, wall + 1.4, 0.002);
    EXPECT_EQ(store->selectedWordCount(), 2);
    EXPECT_EQ(clock.pendingCount(), 0u);
}

TEST_F(StoreFixture, deletingDuringAPendingSaveWritesNothingAndRemovesTheFile) {
    auto store = open();
    const Script a = store->create("A", "a", true);
    const Script b = store->create("B", "b", false);
    store->updateBody("changed", b.id);
    store->deleteScript(b.id);
    clock.advance(5);
    settle(*store);
    EXPECT_FALSE(QFile::exists(ScriptDiskIO::bodyPath(b.id, root)));
    EXPECT_EQ(indexOnDisk().order, QList<QUuid>{a.id});
}

TEST_F(StoreFixture, deletingTheSelectionMovesItToItsNeighbour) {
    auto store = open();
    const Script a = store->create("A", "a", true);
    const Script b = store->create("B", "b b", false);
    const Script c = store->create("C", "c c c", false);
    QSignalSpy changes(store.get(), &ScriptStore::selectedScriptReplaced);

    store->select(b.id);
    store->deleteScript(b.id);
    EXPECT_EQ(store->selectedID(), c.id);
    store->deleteScript(c.id);
    EXPECT_EQ(store->selectedID(), a.id);
    EXPECT_EQ(changes.count(), 3);
    store->deleteScript(a.id);
    EXPECT_EQ(store->selectedID(), std::nullopt);
    EXPECT_EQ(store->selectedWordCount(), 0);
    EXPECT_EQ(indexOnDisk().selectedID, std::nullopt);
}

TEST_F(StoreFixture, whoeverHearsOfAChangeReadsTheCountOfTheScriptItIsAbout) {
    auto store = open();
    const Script a = store->create("A", "one", true);
    const Script b = store->create("B", "one two three", false);
    // What a header does: on every change, read the selection and its count.
    std::vector<std::pair<QString, int>> seen;
    const auto look = [&] {
        const Script *s = store->selected();
        seen.emplace_back(s ? s->title : QString(), store->selectedWordCount());
    };
    QObject::connect(store.get(), &ScriptStore::selectedIDChanged, look);
    QObject::connect(store.get(), &ScriptStore::scriptsChanged, look);

    store->select(b.id);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), std::make_pair(QString("B"), 3));
    store->updateBody("one two three four", b.id); // a keystroke
    EXPECT_EQ(seen.back(), std::make_pair(QString("B"), 4));
    const Script c = store->create("C", "x", true); // an import or New Script
    EXPECT_EQ(seen.back(), std::make_pair(QString("C"), 1));
    store->deleteScript(c.id);
    EXPECT_EQ(seen.back().second, store->selected() ? store->selected()->wordCount() : 0);
    for (const auto &[title, count] : seen) {
        if (title == a.title) {
            EXPECT_EQ(count, 1) << "A was heard of with another script's count";
        }
    }
}

TEST_F(StoreFixture, selectIgnoresUnknownAndCurrentScripts) {
    auto store = open();
    const Script a = store->create("A", "a", true);
    QSignalSpy changes(store.get(), &ScriptStore::selectedScriptReplaced);
    store->select(QUuid::createUuid());
    store->select(a.id);
    EXPECT_EQ(changes.count(), 0);
    const Script b = store->create("B", "b", true);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(indexOnDisk().selectedID, b.id);
}

TEST_F(StoreFixture, renameDuplicateFavoriteAndTarget) {
    auto store = open();
    const Script s = store->create("Intro", "# Opening line\nrest", true);
    store->create("Other", "x", false);

    store->rename(s.id, "   ");
    EXPECT_EQ(store->script(s.id)->title, "Opening line");
    store->rename(s.id, QString(100, 'T'));
    EXPECT_EQ(store->script(s.id)->title, QString(80, 'T'));
    store->rename(s.id, "Intro");

    store->toggleFavorite(s.id);
    store->setTarget(90.0, s.id);
    const auto copy = store->duplicate(s.id);
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->title, "Intro copy");
    EXPECT_EQ(store->index(copy->id), 1);
    EXPECT_FALSE(copy->isFavorite);
    EXPECT_EQ(copy->targetSeconds, std::nullopt);
    EXPECT_EQ(store->selectedID(), s.id);
    EXPECT_EQ(bodyOnDisk(copy->id), "# Opening line\nrest");

    // An unchanged target does not touch the index.
    const QDateTime before = QFileInfo(ScriptDiskIO::manifestPath(root)).lastModified();
    QFile::remove(ScriptDiskIO::manifestPath(root));
    store->setTarget(90.0, s.id);
    EXPECT_FALSE(QFile::exists(ScriptDiskIO::manifestPath(root)));
    store->setTarget(std::nullopt, s.id);
    EXPECT_TRUE(QFile::exists(ScriptDiskIO::manifestPath(root)));
    Q_UNUSED(before);

    auto reopened = open();
    EXPECT_TRUE(reopened->script(s.id)->isFavorite);
    EXPECT_EQ(reopened->scripts().size(), 3u);
}

TEST_F(StoreFixture, moveFollowsListMoveSemantics) {
    auto store = open();
    std::vector<QUuid> ids;
    for (const char *t : {"A", "B", "C", "D", "E"})
        ids.push_back(store->create(t, t, false).id);
    const auto titles = [&] {
        QString out;
        for (const Script &s : store->scripts())
            out += s.title;
        return out;
    };
    store->move({0, 2}, 4);
    EXPECT_EQ(titles(), "BDACE");
    store->move({4}, 0);
    EXPECT_EQ(titles(), "EBDAC");
    store->move({1}, 5);
    EXPECT_EQ(titles(), "EDACB");
    QList<QUuid> order;
    for (const Script &s : store->scripts())
        order << s.id;
    EXPECT_EQ(indexOnDisk().order, order);
}

TEST_F(StoreFixture, flushWritesEverythingPending) {
    auto store = open();
    const Script a = store->create("A", "a", true);
    const Script b = store->create("B", "b", false);
    store->updateBody("a2", a.id);
    store->updateBody("b2", b.id);
    bool done = false;
    store->flushPending([&] { done = true; });
    settle(*store);
    EXPECT_TRUE(done);
    EXPECT_EQ(bodyOnDisk(a.id), "a2");
    EXPECT_EQ(bodyOnDisk(b.id), "b2");
    EXPECT_EQ(clock.pendingCount(), 0u);

    store->updateBody("a3", a.id);
    store->flushPendingSynchronously();
    EXPECT_EQ(bodyOnDisk(a.id), "a3");
    EXPECT_EQ(indexOnDisk().entries.size(), 2u);
}

TEST_F(StoreFixture, failedWritesArePublishedUntilTheFileIsWrittenAgain) {
    auto store = open();
    const Script s = store->create("Speech", "first", true);
    QSignalSpy spy(store.get(), &ScriptStore::saveProblemChanged);

    // The folder that holds the bodies is replaced by a file: no body can be written.
    const QString scripts = ScriptDiskIO::scriptsDirectory(root);
    QDir(scripts).removeRecursively();
    writeFile(scripts, "in the way");
    store->updateBody("second", s.id);
    clock.advance(1);
    settle(*store);
    EXPECT_EQ(store->script(s.id)->body, "second");
    EXPECT_TRUE(store->saveProblem().startsWith(
        QString::fromUtf8("Could not save the script \u201CSpeech\u201D to ")));
    EXPECT_TRUE(store->saveProblem().contains(ScriptDiskIO::bodyPath(s.id, root)));
    EXPECT_EQ(spy.count(), 1);

    QFile::remove(scripts);
    store->updateBody("third", s.id);
    clock.advance(1);
    settle(*store);
    EXPECT_EQ(store->saveProblem(), "");
    EXPECT_EQ(bodyOnDisk(s.id), "third");
    EXPECT_GE(spy.count(), 2);

    // The index fails the same way, and the next change catches up.
    QFile::remove(ScriptDiskIO::manifestPath(root));
    QDir().mkpath(ScriptDiskIO::manifestPath(root));
    store->rename(s.id, "Renamed");
    EXPECT_TRUE(store->saveProblem().contains("the library index"));
    EXPECT_TRUE(store->saveProblem().contains("Is a directory"));
    QDir(ScriptDiskIO::manifestPath(root)).removeRecursively();
    store->toggleFavorite(s.id);
    EXPECT_EQ(store->saveProblem(), "");
    EXPECT_EQ(indexOnDisk().entries.at(0).title, "Renamed");
}

TEST_F(StoreFixture, aBodyInAnotherEncodingIsKeptBeforeItIsFirstOverwritten) {
    const Script s{QUuid::createUuid(), "Old", "", 1, 1, false, std::nullopt};
    ASSERT_TRUE(ScriptDiskIO::writeManifest(ScriptManifest({s}, std::nullopt), root, nullptr));
    const QByteArray original = "Caf\xe9 \x93quoted\x94";
    writeFile(ScriptDiskIO::bodyPath(s.id, root), original);

    auto store = open();
    EXPECT_EQ(store->script(s.id)->body, QString::fromUtf8("Caf\u00e9 \u201Cquoted\u201D"));
    store->updateBody(store->script(s.id)->body + " more", s.id);
    clock.advance(1);
    settle(*store);
    EXPECT_EQ(bodyOnDisk(s.id), "Caf\xc3\xa9 \xe2\x80\x9cquoted\xe2\x80\x9d more");
    const QString kept = root + "/" + Script::idText(s.id) + ".txt.original-20260105-140312";
    EXPECT_EQ(readFile(kept), original);

    // Only the first overwrite keeps a copy.
    store->updateBody("again", s.id);
    clock.advance(1);
    settle(*store);
    EXPECT_EQ(filesIn(root).filter(".original-").size(), 1);
}

TEST_F(StoreFixture, aBodyFileThatCannotBeReadIsNeverReplaced) {
    const Script s{QUuid::createUuid(), "Locked", "", 1, 1, false, std::nullopt};
    ASSERT_TRUE(ScriptDiskIO::writeManifest(ScriptManifest({s}, std::nullopt), root, nullptr));
    // A folder where the body should be cannot be read, whoever runs the test.
    QDir().mkpath(ScriptDiskIO::bodyPath(s.id, root) + "/inside");
    auto store = open();
    EXPECT_EQ(store->script(s.id)->body, "");
    store->updateBody("typed over it", s.id);
    clock.advance(1);
    settle(*store);
    EXPECT_TRUE(QFileInfo::exists(ScriptDiskIO::bodyPath(s.id, root) + "/inside"));
    EXPECT_TRUE(store->saveProblem().contains(QString::fromUtf8("\u201CLocked\u201D")));
}

TEST_F(StoreFixture, recoveryIsReportedUntilDismissed) {
    ScriptDiskIO::writeBody("Saved text", QUuid::createUuid(), root, nullptr);
    writeFile(ScriptDiskIO::manifestPath(root), "{ not json");
    auto store = open(true);
    ASSERT_TRUE(store->recovery());
    EXPECT_EQ(store->recovery()->recoveredCount, 1);
    EXPECT_EQ(store->scripts().size(), 1u); // recovered, so nothing seeded
    QSignalSpy spy(store.get(), &ScriptStore::recoveryChanged);
    store->dismissRecoveryNotice();
    EXPECT_FALSE(store->recovery());
    EXPECT_EQ(spy.count(), 1);
}

#include "library/LibraryLock.h"
#include "library/ScriptStore.h"
#include "library/UnsavedCopies.h"
#include "support/DiskFault.h"
#include "support/LibraryTestSupport.h"
#include "support/ManualScheduler.h"

#include "support/QtPrinters.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// Writes the disk refuses stay pending, visibly, until they succeed; they
// are tried again on their own and before every later write, and what is
// still unsaved at quit is kept aside and put back at the next start.
namespace {

struct UnsavedFixture : ::testing::Test {
    QTemporaryDir dir;
    QString root = dir.filePath("library");
    ManualScheduler clock;
    DiskFault fault;

    std::unique_ptr<ScriptStore> open() {
        return std::make_unique<ScriptStore>(root, ScriptStore::Options{false, {}, &clock, {}});
    }
    static void settle(ScriptStore &store) {
        store.waitForDiskIdle();
        QCoreApplication::processEvents();
    }
    QList<QUuid> listedOnDisk() const {
        QString error;
        const auto m =
            ScriptManifest::fromJson(readFile(ScriptDiskIO::manifestPath(root)), &error);
        return m ? m->order : QList<QUuid>();
    }
};

} // namespace

TEST_F(UnsavedFixture, aNewScriptTheDiskRefusesIsPendingUnlistedAndSavedOnItsOwnLater) {
    auto store = open();
    const Script kept = store->create("Kept", "already on disk", true);
    fault.set("/Scripts/", ENOSPC);
    QSignalSpy problems(store.get(), &ScriptStore::saveProblemChanged);
    const Script talk = store->create("Talk", "my opening line", true);

    EXPECT_EQ(store->script(talk.id)->body, "my opening line");
    EXPECT_TRUE(store->hasUnsaved());
    EXPECT_EQ(store->unsavedScripts(), QList<QUuid>{talk.id});
    EXPECT_EQ(store->unsavedReason(), "No space left on device");
    EXPECT_TRUE(store->saveProblem().contains(QString::fromUtf8("\u201CTalk\u201D")));
    EXPECT_TRUE(store->saveProblem().contains("No space left on device"));
    EXPECT_GE(problems.count(), 1);
    // The index never lists a text that is not on disk.
    EXPECT_EQ(listedOnDisk(), QList<QUuid>{kept.id});

    // It keeps trying, backing off, while the disk refuses: 1, 2, 4, 8, 8 s.
    const int before = fault.hits();
    clock.advance(1);
    EXPECT_EQ(fault.hits(), before + 1);
    clock.advance(2.5);
    EXPECT_EQ(fault.hits(), before + 2);
    clock.advance(60);
    EXPECT_LE(fault.hits(), before + 2 + 1 + 60 / 8);

    // Space comes back: within the next retry it is on disk and listed.
    fault.clear();
    clock.advance(ScriptStore::maxRetryDelay);
    EXPECT_FALSE(store->hasUnsaved());
    EXPECT_EQ(store->saveProblem(), "");
    EXPECT_EQ(readFile(ScriptDiskIO::bodyPath(talk.id, root)), "my opening line");
    EXPECT_EQ(listedOnDisk(), (QList<QUuid>{kept.id, talk.id}));
    EXPECT_EQ(clock.pendingCount(), 0u) << "no retry left running once all is saved";
}

TEST_F(UnsavedFixture, anyLaterWriteAlsoSavesWhatWasPending) {
    auto store = open();
    const Script a = store->create("A", "a", true);
    const Script b = store->create("B", "b", false);
    fault.set(Script::idText(a.id), EROFS);
    store->updateBody("a, edited", a.id);
    clock.advance(ScriptStore::defaultSaveDebounce);
    settle(*store);
    ASSERT_EQ(store->unsavedScripts(), QList<QUuid>{a.id});
    EXPECT_TRUE(store->saveProblem().contains("Read-only file system"));

    // The folder takes writes again; the next change of anything saves it
    // at once, before any retry is due.
    fault.clear();
    store->toggleFavorite(b.id);
    EXPECT_FALSE(store->hasUnsaved());
    EXPECT_EQ(readFile(ScriptDiskIO::bodyPath(a.id, root)), "a, edited");
}

TEST_F(UnsavedFixture, severalUnsavedScriptsAreNamedTogether) {
    auto store = open();
    fault.set("/Scripts/", ENOSPC);
    for (const char *title : {"One", "Two", "Three", "Four", "Five"})
        store->create(title, title, false);
    EXPECT_EQ(store->saveProblem(),
              QString::fromUtf8("Could not save 5 scripts (\u201COne\u201D, \u201CTwo\u201D, "
                                "\u201CThree\u201D and 2 more): No space left on device. Your "
                                "changes are kept while Orvell is open and are saved as soon as "
                                "writing works again."));
    // Deleting one that was never saved takes it off the list of the unsaved.
    store->deleteScript(store->scripts().front().id);
    EXPECT_EQ(store->unsavedScripts().size(), 4);
}

TEST_F(UnsavedFixture, whatIsStillUnsavedAtQuitIsKeptAsideAndPutBackAtTheNextStart) {
    const QString aside = dir.filePath("state");
    QUuid edited, added;
    {
        auto store = open();
        edited = store->create("Edited", "old text", true).id;
        store->rename(edited, "Edited once");
        fault.set("/Scripts/", ENOSPC);
        store->updateBody("the newest text", edited);
        added = store->create("New talk", "never reached the disk", true).id;
        EXPECT_FALSE(store->flushPendingSynchronously());
        // The first place cannot hold it (a file stands there): the next one does.
        ASSERT_TRUE(writeFile(dir.filePath("in-the-way"), "x"));
        QString why;
        const QString kept =
            UnsavedCopies::keep(*store, {dir.filePath("in-the-way/state"), aside}, &why);
        EXPECT_TRUE(kept.startsWith(aside + "/unsaved-")) << why.toStdString();
    }
    fault.clear();
    EXPECT_EQ(readFile(ScriptDiskIO::bodyPath(edited, root)), "old text");

    auto store = open();
    EXPECT_EQ(UnsavedCopies::adopt(*store, {aside}), 2);
    EXPECT_EQ(store->script(edited)->body, "the newest text");
    EXPECT_EQ(store->script(edited)->title, "Edited once");
    ASSERT_NE(store->script(added), nullptr);
    EXPECT_EQ(store->script(added)->title, "New talk");
    EXPECT_FALSE(store->hasUnsaved());
    EXPECT_EQ(readFile(ScriptDiskIO::bodyPath(added, root)), "never reached the disk");
    EXPECT_TRUE(listedOnDisk().contains(added));
    EXPECT_TRUE(filesIn(aside).isEmpty()) << "the copy goes once all it held is saved";
    EXPECT_EQ(UnsavedCopies::notice(2),
              "2 scripts that could not be saved when Orvell last quit were kept aside and are "
              "back in the library.");

    // Another library's copy is left alone.
    ASSERT_TRUE(writeFile(aside + "/unsaved-x.json", R"({"library": "/elsewhere", "scripts": []})"));
    EXPECT_EQ(UnsavedCopies::adopt(*store, {aside}), 0);
    EXPECT_EQ(filesIn(aside).size(), 1);
}

TEST_F(UnsavedFixture, aLibraryFolderThatCannotExistSaysWhy) {
    ASSERT_TRUE(writeFile(root, "a file where the folder goes"));
    auto store = open();
    const QString reason = "Orvell cannot use its library folder " + root + ": Not a directory";
    EXPECT_FALSE(store->holdsLock());
    EXPECT_EQ(store->lockProblem(), reason);
    EXPECT_EQ(store->saveProblem(), reason + ".") << "said at once, before any edit";
    const auto added = store->addNow({{"Talk", "text"}}, true);
    EXPECT_EQ(added.at(0).error, reason);
    EXPECT_TRUE(store->scripts().empty());

    QString why;
    LibraryLock::Refusal refusal = LibraryLock::Refusal::inUse;
    EXPECT_FALSE(LibraryLock::tryAcquire(root + "/inner", &why, &refusal));
    EXPECT_EQ(refusal, LibraryLock::Refusal::unusableFolder);
    EXPECT_EQ(why, "Orvell cannot use its library folder " + root + "/inner: Not a directory");
}

TEST_F(UnsavedFixture, aLibraryReadInTheBackgroundKeepsWhatWasMadeMeanwhile) {
    std::vector<Script> scripts;
    for (int i = 0; i < 300; ++i) {
        const double t = 1 + i;
        scripts.push_back(
            {QUuid::createUuid(), QStringLiteral("Script %1").arg(i), "text", t, t, false, {}});
        ASSERT_TRUE(ScriptDiskIO::writeBody("text", scripts.back().id, root, nullptr));
    }
    ASSERT_TRUE(ScriptDiskIO::writeManifest(ScriptManifest(scripts, std::nullopt), root, nullptr));

    ScriptStore::Options options{false, {}, &clock, {}};
    options.loadInBackground = true;
    {
        // Gone before the load is in: no index of what was made alone is
        // written (the load itself may list the new file, as it adopts it).
        ScriptStore quitting(root, options);
        quitting.create("Made at once", "typed before the library was read", true);
    }
    const QList<QUuid> listed = listedOnDisk();
    EXPECT_GE(listed.size(), 300);
    EXPECT_EQ(listed.first(), scripts.front().id);

    ScriptStore store(root, options);
    QSignalSpy loaded(&store, &ScriptStore::loaded);
    const Script made = store.create("Made meanwhile", "new words", true);
    EXPECT_EQ(store.addNow({{"Imported", "too early"}}, true).at(0).error,
              "the library is still being read");
    if (!store.isLoaded()) {
        ASSERT_TRUE(loaded.wait(10000));
    }
    // The one made before quitting was adopted from its file, then this one.
    ASSERT_EQ(store.scripts().size(), 302u);
    EXPECT_EQ(store.scripts().front().title, "Script 0");
    EXPECT_EQ(store.scripts().back().id, made.id);
    EXPECT_EQ(store.selectedID(), made.id);
    EXPECT_FALSE(store.hasUnsaved());
    EXPECT_EQ(listedOnDisk().size(), 302);
    EXPECT_EQ(listedOnDisk().back(), made.id);
}

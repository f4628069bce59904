#pragma once

#include "base/Scheduler.h"
#include "library/LibraryLock.h"
#include "library/Script.h"
#include "library/ScriptDiskIO.h"
#include "library/ScriptManifest.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QUuid>

class QFileSystemWatcher;
class QTimer;

#include <functional>
#include <memory>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

struct ScriptStoreOptions {
    bool seedIfEmpty = true;
    QString welcomeBody;
    // Defaults: the event loop's timers and the wall clock.
    Scheduler *scheduler = nullptr;
    std::function<double()> now;
    // Read the library on a thread of its own and announce `loaded()`; the
    // store is empty until then. Otherwise it is read in the constructor.
    bool loadInBackground = false;
};

// A script an import adds: its title and text, and its word count when the
// reader already counted it off the window's thread (-1: count here).
struct NewScript {
    QString title;
    QString body;
    int wordCount = -1;
};

// What became of one script of a batch: added (on disk and listed), or not
// in the library with `error` naming the file and the system's reason.
struct AddedScript {
    std::optional<Script> script;
    QString error;
};

// The one in-memory owner of the user's scripts. It loads the library once,
// keeps the custom order and the selection, writes the index at once after
// every change and a body half a second after the last edit of it.
//
// A write that fails leaves the in-memory state as it is, stays pending and
// is published as `saveProblem` until it succeeds: it is tried again on its
// own (after a second, backing off to `maxRetryDelay`) and before every later
// write. A new script whose text never reached the disk is left out of the
// index until it does, so the index never lists a body that is not there.
//
// It writes only while it holds the library lock, and it watches the body
// files: a file another program changed is reloaded when this store holds no
// unsaved edit of it, and kept beside the script as a new one when it does; a
// new file in Scripts/ is adopted.
class ScriptStore : public QObject {
    Q_OBJECT
    Q_PROPERTY(int selectedWordCount READ selectedWordCount NOTIFY selectedWordCountChanged)
    Q_PROPERTY(QString saveProblem READ saveProblem NOTIFY saveProblemChanged)

public:
    using Options = ScriptStoreOptions;

    static constexpr double defaultSaveDebounce = 0.5;

    explicit ScriptStore(const QString &root, Options options = {}, QObject *parent = nullptr);
    // The user's data folder, or "OrvellLibrary" in the temporary folder when
    // there is none.
    static QString defaultRoot();
    ~ScriptStore() override;

    const std::vector<Script> &scripts() const { return m_scripts; }
    std::optional<QUuid> selectedID() const { return m_selectedID; }
    int selectedWordCount() const { return m_selectedWordCount; }
    const std::optional<RecoveryReport> &recovery() const { return m_recovery; }
    // A sentence naming the file and the system's reason, or empty.
    QString saveProblem() const;
    const QString &root() const { return m_io.root(); }
    // Scripts whose text was missing or unreadable at load, one sentence
    // each; empty when none.
    const QString &bodyProblems() const { return m_bodyProblems; }
    // Whether the library has been read (always, unless it loads in the background).
    bool isLoaded() const { return m_loaded; }
    // Whether this store may write; it tries again before every write.
    bool holdsLock() const { return m_lock != nullptr; }

    const Script *selected() const;
    QString selectedBody() const;
    bool isEmpty() const { return m_scripts.empty(); }
    ScriptManifest manifest() const;
    std::optional<qsizetype> index(const QUuid &id) const;
    const Script *script(const QUuid &id) const;
    // A script's word count, kept as its text changes (0 for an unknown id).
    int wordCount(const QUuid &id) const { return m_wordCounts.value(id); }

    double saveDebounce = defaultSaveDebounce;

    void select(const QUuid &id);
    Script create(const QString &title, const QString &body, bool select);
    // For imports: every text of the batch is written, then one index that
    // lists those written. When it returns each script is on disk and
    // listed, or is not in the library and says why; nothing is pending.
    // The last one added is selected when `selectLast`.
    std::vector<AddedScript> addNow(const std::vector<NewScript> &batch, bool selectLast);
    // The same with the files written on the disk worker, so the window
    // keeps answering; `done` gets the results on this thread.
    void addInBackground(const std::vector<NewScript> &batch, bool selectLast,
                         std::function<void(std::vector<AddedScript>)> done);
    void updateBody(const QString &body, const QUuid &id);
    void rename(const QUuid &id, const QString &title);
    void toggleFavorite(const QUuid &id);
    void setTarget(std::optional<double> seconds, const QUuid &id);
    void deleteScript(const QUuid &id);
    void deleteScripts(const QList<QUuid> &ids);
    std::optional<Script> duplicate(const QUuid &id);
    // The moved items, in their relative order, go before the item that was at `toOffset`.
    void move(const QList<qsizetype> &fromOffsets, qsizetype toOffset);
    // Writes every pending body on the disk worker, then the index; `done`
    // runs on this thread afterwards.
    void flushPending(std::function<void()> done = {});
    // The same, blocking, including every write that failed before: for
    // quitting. True when nothing is left unsaved.
    bool flushPendingSynchronously();

    // Writes that failed and wait to be tried again.
    bool hasUnsaved() const { return !m_unsavedBodies.isEmpty() || m_indexUnsaved; }
    bool indexUnsaved() const { return m_indexUnsaved; }
    // The scripts whose text is not on disk as it is here, in list order.
    QList<QUuid> unsavedScripts() const;
    // The system's reason of the oldest failure still pending ("No space left
    // on device"), or empty.
    QString unsavedReason() const;
    // Tries every pending write once more now; the store also does this on
    // its own.
    void retryUnsaved();
    static constexpr double firstRetryDelay = 1;
    static constexpr double maxRetryDelay = 8;

    // Why this store cannot write at all (its folder cannot be used, or
    // another program holds the library), or empty.
    const QString &lockProblem() const { return m_lockProblem; }
    void dismissRecoveryNotice();
    // Puts back a script kept aside when it could not be saved: its fields
    // (and its text, with `withBody`) replace those of the script with its
    // id, or it is added under that id. Written at once, and pending like
    // any other write when that fails.
    void restore(const Script &kept, bool withBody);

    // Blocks until the disk worker has finished what was queued so far; the
    // results reach the store through the event loop afterwards.
    void waitForDiskIdle() { m_io.queue().waitUntilIdle(); }

    // Looks for body files changed or added by other programs; the folder
    // watch calls it a moment after the files change.
    void checkDisk();
    static constexpr double diskCheckDelay = 0.2;
    // The text files watched one by one, the most recently edited first.
    static constexpr size_t maxWatchedFiles = 1000;
    // The title given to another program's version of a script edited here too.
    static QString changedOnDiskTitle(const QString &title);

signals:
    void loaded();
    void scriptsChanged();
    void selectedIDChanged();
    // Another script was chosen by an edit of the library: select, create
    // with selection, an import that selects, or a deletion that moves it
    // (not a reload that keeps the selection where it was).
    void selectedScriptReplaced();
    void selectedWordCountChanged();
    void recoveryChanged();
    void saveProblemChanged();

private:
    // What a load gives: the outcome, with each script's word count and
    // file stamp taken on the loading thread.
    struct LoadedLibrary {
        LoadOutcome outcome;
        std::vector<Script> scripts;
        QHash<QUuid, int> wordCounts;
        QHash<QUuid, DiskStamp> stamps;
    };
    struct Loading {
        std::thread thread;
        std::atomic<bool> cancel = false;
        std::mutex mutex;
        QObject *receiver = nullptr; // cleared when the store goes
        std::shared_ptr<LibraryLock> lock;
        std::condition_variable ended;
        bool done = false;
    };
    struct Batch;
    // Fills `batch`; false when there is nothing to write (refused whole
    // for want of the lock or the folder: its results say why).
    bool prepareBatch(const std::vector<NewScript> &scripts, bool selectLast, Batch &batch);
    // `inBackground`: what is left to remove goes to the disk worker too.
    std::vector<AddedScript> finishBatch(Batch batch, bool inBackground);
    static LoadedLibrary loadLibrary(const QString &root, double now, ScriptDiskIO::LoadMode mode,
                                     const std::atomic<bool> *cancel);
    void install(LoadedLibrary library);

    double now() const { return m_now(); }
    Script *mutableScript(const QUuid &id);
    void setSelection(std::optional<QUuid> id);
    void refreshWordCount();
    // Takes the selected script's count; true when it changed (nobody told yet).
    bool recountSelected();
    void countWords(const Script &script);
    // `catchUp`: first try the texts that failed before, so a later write
    // also saves what was pending.
    void writeManifestNow(bool catchUp = true);
    bool writeBodyNow(const Script &script);
    // Marks a text written or failed; a new script's first text lets the
    // index list it.
    void bodyWritten(const QUuid &id, bool ok);
    bool writeUnsavedBodies();
    void scheduleRetry();
    // Keeps the retry going while anything is unsaved, and stops it once
    // nothing is.
    void settleRetry();
    void publishSaveProblem();
    ScriptManifest manifestOf(const std::vector<Script> &scripts,
                              std::optional<QUuid> selected) const;
    // The index as written: scripts whose text never reached the disk are left out.
    ScriptManifest manifestToWrite() const;
    void scheduleBodySave(const QUuid &id);
    void saveBodyInBackground(const QUuid &id, std::function<void()> then);
    void recordWrite(const QString &path, const QString &problem, const QString &reason = {});
    QString describeFailure(const QString &path, const QUuid &id, const QString &reason) const;
    bool mayWrite(const QString &path, const QUuid &id);
    void noteStamp(const QUuid &id);
    void watchFiles();
    void scheduleDiskCheck();
    void adoptNewFiles();

    ScriptDiskIO m_io;
    Scheduler &m_scheduler;
    std::function<double()> m_now;
    std::shared_ptr<UnsafeBodies> m_unsafe = std::make_shared<UnsafeBodies>();

    std::vector<Script> m_scripts;
    std::optional<QUuid> m_selectedID;
    int m_selectedWordCount = 0;
    std::optional<RecoveryReport> m_recovery;

    QHash<QUuid, Scheduler::Handle> m_bodySaves;
    QSet<QUuid> m_dirtyBodies;
    bool m_manifestNeedsWrite = false;
    // Word counts by script, kept current as bodies change, so that writing
    // the index does not rescan every body.
    QHash<QUuid, int> m_wordCounts;
    // Failed writes by file, oldest first: the sentence and the system's
    // reason; each clears when its file is written.
    struct Failure {
        QString path;
        QString problem;
        QString reason;
    };
    std::vector<Failure> m_failures;
    // Texts whose last write failed, and scripts with no text on disk yet.
    QSet<QUuid> m_unsavedBodies;
    QSet<QUuid> m_unwritten;
    bool m_indexUnsaved = false;
    Scheduler::Handle m_retry = 0;
    double m_retryDelay = firstRetryDelay;
    QString m_lockProblem;
    QString m_publishedProblem;
    bool m_loaded = false;
    std::shared_ptr<Loading> m_loading;
    bool m_seedIfEmpty = true;
    QString m_welcomeBody;
    // Each text's latest write: an older write's answer that arrives after a
    // newer one was made says nothing about what is on disk now.
    quint64 m_writeSerial = 0;
    QHash<QUuid, quint64> m_latestWrite;

    // Shared with a load still running when the store goes: the library
    // stays locked until that load has ended.
    std::shared_ptr<LibraryLock> m_lock;
    std::unique_ptr<QFileSystemWatcher> m_watcher;
    // On the event loop, not the store's scheduler: this store's own writes
    // wake the watch too, and are told apart by their stamps.
    QTimer *m_diskCheck = nullptr;
    // Each body file as it was when this store last read or wrote it.
    QHash<QUuid, DiskStamp> m_stamps;
    QHash<QUuid, int> m_writesInFlight;
    // Deleted here: their files may still be on disk for a moment.
    QSet<QUuid> m_deleted;
    // Being added in the background: their files are on their way.
    QSet<QUuid> m_incoming;
    // What a newer version wrote into the index that this one does not know.
    QJsonObject m_manifestExtra;
    QHash<QUuid, QJsonObject> m_entryExtras;
    QString m_bodyProblems;
};

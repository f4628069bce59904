#pragma once

#include "import/ScriptImporter.h"

#include <QObject>
#include <QStringList>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

class ScriptStore;
struct AddedScript;

// Imports files into the library, one job at a time. A worker thread reads
// and converts the files in order, a little ahead of the store; the store
// adds them in batches with one index write each, so ten thousand files take
// seconds and the window keeps answering in between. Only a file whose text
// and index entry are both on disk counts as imported; every other one is
// named with its reason. A job can be cancelled between files: what was
// added before stays.
class ImportQueue : public QObject {
    Q_OBJECT

public:
    struct Outcome {
        QString summary; // "Imported 2 scripts.", or why nothing was
        int imported = 0;
        QStringList problems; // one line a file that was not imported
        bool cancelled = false;
    };
    using Done = std::function<void(const Outcome &)>;

    // A batch holds at most this many scripts or this much text.
    static constexpr int batchScripts = 200;
    static constexpr qsizetype batchCharacters = 4 * 1024 * 1024;

    ImportQueue(ScriptStore &store, ScriptImporter::Converter converter,
                QObject *parent = nullptr);
    ~ImportQueue() override;

    // Queues a job; `done` gets its outcome on this thread.
    void import(const QStringList &paths, Done done = {});
    // Stops the running job between files and drops the queued ones.
    void cancel();
    bool isBusy() const { return !m_jobs.empty(); }
    // At quit: every job ends now, answered with what it had imported.
    void stopForQuit();

signals:
    void started(const QString &firstFileName);
    // Files handled so far (added or refused) of the running job's total.
    void progress(int handled, int total);
    void finished(const ImportQueue::Outcome &outcome);

private:
    struct Channel;
    struct Job;
    struct Loaded;
    void startNext();
    void drain();
    // Counts what became of a batch's files.
    void account(const std::vector<Loaded> &batch, const std::vector<AddedScript> &added);
    // `waitForReader`: the reading thread has ended (or is left to end).
    void finish(bool waitForReader = true);

    ScriptStore &m_store;
    ScriptImporter::Converter m_converter;
    std::deque<std::unique_ptr<Job>> m_jobs;
    bool m_batchInFlight = false;
};

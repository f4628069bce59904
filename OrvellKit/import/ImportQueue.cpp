#include "import/ImportQueue.h"

#include "library/ScriptStore.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>
#include <QPointer>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

// One file as the worker read it.
struct ImportQueue::Loaded {
    QString path;
    std::optional<ImportedScript> script;
    int wordCount = 0;
    ScriptImportError error;
};

namespace {

// How far the worker may read ahead of the store: enough to fill the next
// batch while this one is written, little enough to bound memory.
constexpr size_t aheadScripts = 2 * ImportQueue::batchScripts;
constexpr qsizetype aheadCharacters = 2 * ImportQueue::batchCharacters;

} // namespace

// Shared by the worker and this thread; the worker outlives the queue when
// it is still converting a document as the app quits.
struct ImportQueue::Channel {
    std::mutex mutex;
    std::condition_variable roomAhead;
    std::deque<Loaded> loaded;
    qsizetype loadedCharacters = 0;
    bool readingDone = false;
    bool cancelled = false;
    bool drainPosted = false;
    QObject *receiver = nullptr; // cleared when the queue goes
};

struct ImportQueue::Job {
    QStringList paths;
    Done done;
    std::shared_ptr<Channel> channel = std::make_shared<Channel>();
    std::thread worker;
    int handled = 0;
    std::optional<QUuid> lastAdded;
    Outcome outcome;
    // Why nothing was imported, in file order, for the summary.
    QString firstFailure;
};

ImportQueue::ImportQueue(ScriptStore &store, ScriptImporter::Converter converter, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_converter(std::move(converter)) {}

ImportQueue::~ImportQueue() {
    for (const auto &job : m_jobs) {
        {
            std::lock_guard lock(job->channel->mutex);
            job->channel->cancelled = true;
            job->channel->receiver = nullptr;
        }
        job->channel->roomAhead.notify_all();
        // A converter child may run for seconds yet; the thread ends by itself.
        if (job->worker.joinable())
            job->worker.detach();
    }
}

void ImportQueue::import(const QStringList &paths, Done done) {
    auto job = std::make_unique<Job>();
    job->paths = paths;
    job->done = std::move(done);
    m_jobs.push_back(std::move(job));
    if (m_jobs.size() == 1)
        startNext();
}

void ImportQueue::cancel() {
    while (m_jobs.size() > 1) {
        Job &queued = *m_jobs.back();
        queued.outcome.cancelled = true;
        queued.outcome.summary = QStringLiteral("The import was cancelled; nothing was imported.");
        if (queued.done)
            queued.done(queued.outcome);
        m_jobs.pop_back();
    }
    if (m_jobs.empty())
        return;
    Channel &channel = *m_jobs.front()->channel;
    {
        std::lock_guard lock(channel.mutex);
        channel.cancelled = true;
    }
    channel.roomAhead.notify_all();
}

void ImportQueue::startNext() {
    if (m_jobs.empty())
        return;
    Job &job = *m_jobs.front();
    job.channel->receiver = this;
    emit started(job.paths.isEmpty() ? QString() : QFileInfo(job.paths.first()).fileName());
    job.worker = std::thread([channel = job.channel, paths = job.paths,
                              convert = m_converter] {
        const auto postDrain = [&](std::unique_lock<std::mutex> &) {
            if (channel->drainPosted || !channel->receiver)
                return;
            channel->drainPosted = true;
            QMetaObject::invokeMethod(
                channel->receiver, [receiver = channel->receiver] {
                    static_cast<ImportQueue *>(receiver)->drain();
                }, Qt::QueuedConnection);
        };
        for (const QString &path : paths) {
            {
                std::unique_lock lock(channel->mutex);
                channel->roomAhead.wait(lock, [&] {
                    return channel->cancelled || (channel->loaded.size() < aheadScripts &&
                                                  channel->loadedCharacters < aheadCharacters);
                });
                if (channel->cancelled)
                    break;
            }
            Loaded item{path, {}, 0, {}};
            item.script = ScriptImporter::load(path, convert, &item.error);
            if (item.script) {
                Script counted;
                counted.body = item.script->body;
                item.wordCount = counted.wordCount();
            }
            std::unique_lock lock(channel->mutex);
            channel->loadedCharacters += item.script ? item.script->body.size() : 0;
            channel->loaded.push_back(std::move(item));
            postDrain(lock);
        }
        std::unique_lock lock(channel->mutex);
        channel->readingDone = true;
        postDrain(lock);
    });
}

void ImportQueue::drain() {
    if (m_jobs.empty())
        return;
    {
        std::lock_guard lock(m_jobs.front()->channel->mutex);
        m_jobs.front()->channel->drainPosted = false;
    }
    // The batch on the disk drains again when it is done.
    if (m_batchInFlight)
        return;
    // Nothing is added before the library is read: its index would lack the rest.
    if (!m_store.isLoaded()) {
        connect(&m_store, &ScriptStore::loaded, this, &ImportQueue::drain,
                Qt::SingleShotConnection);
        return;
    }
    Channel &channel = *m_jobs.front()->channel;
    std::vector<Loaded> batch;
    bool allRead = false;
    {
        std::lock_guard lock(channel.mutex);
        // What was read ahead of a cancel is not added.
        if (channel.cancelled) {
            channel.loaded.clear();
            channel.loadedCharacters = 0;
        }
        qsizetype characters = 0;
        while (!channel.loaded.empty() && static_cast<int>(batch.size()) < batchScripts &&
               characters < batchCharacters) {
            Loaded &next = channel.loaded.front();
            const qsizetype size = next.script ? next.script->body.size() : 0;
            characters += size;
            channel.loadedCharacters -= size;
            batch.push_back(std::move(next));
            channel.loaded.pop_front();
        }
        allRead = channel.readingDone && channel.loaded.empty();
    }
    channel.roomAhead.notify_all();
    if (batch.empty()) {
        // Otherwise the reader posts the next drain when it has read more.
        if (allRead)
            finish();
        return;
    }

    std::vector<NewScript> scripts;
    for (const Loaded &item : batch)
        if (item.script)
            scripts.push_back({item.script->title, item.script->body, item.wordCount});
    if (scripts.empty()) {
        account(batch, {});
        QMetaObject::invokeMethod(this, &ImportQueue::drain, Qt::QueuedConnection);
        return;
    }
    // One batch at a time on the disk; the window answers while it is written.
    m_batchInFlight = true;
    QPointer<ImportQueue> self(this);
    m_store.addInBackground(scripts, false,
                            [self, batch = std::move(batch)](std::vector<AddedScript> added) {
                                if (!self)
                                    return;
                                self->m_batchInFlight = false;
                                self->account(batch, added);
                                QMetaObject::invokeMethod(self.data(), &ImportQueue::drain,
                                                          Qt::QueuedConnection);
                            });
}

void ImportQueue::account(const std::vector<Loaded> &batch, const std::vector<AddedScript> &added) {
    Job &job = *m_jobs.front();
    size_t next = 0;
    for (const Loaded &item : batch) {
        QString problem, failure;
        if (!item.script) {
            problem = ScriptImporter::failureLine(item.path, item.error);
            failure = item.error.errorDescription();
        } else if (const AddedScript &a = added[next++]; !a.script) {
            problem = ScriptImporter::notImportedLine(item.path, a.error);
            failure = QStringLiteral("Nothing was imported: ") + a.error + QLatin1Char('.');
        } else {
            ++job.outcome.imported;
            job.lastAdded = a.script->id;
        }
        if (!problem.isEmpty())
            job.outcome.problems << problem;
        if (job.firstFailure.isEmpty())
            job.firstFailure = failure;
        ++job.handled;
    }
    if (!batch.empty())
        emit progress(job.handled, static_cast<int>(job.paths.size()));
}

void ImportQueue::stopForQuit() {
    cancel();
    if (m_jobs.empty())
        return;
    // A batch on the disk now is listed before the answer goes out.
    m_store.waitForDiskIdle();
    QCoreApplication::sendPostedEvents(&m_store, QEvent::MetaCall);
    if (!m_jobs.empty())
        finish(false);
}

void ImportQueue::finish(bool waitForReader) {
    std::unique_ptr<Job> job = std::move(m_jobs.front());
    m_jobs.pop_front();
    if (job->worker.joinable()) {
        if (waitForReader) {
            job->worker.join();
        } else {
            // It may be converting a document for seconds yet; it ends on its own.
            std::lock_guard lock(job->channel->mutex);
            job->channel->receiver = nullptr;
            job->worker.detach();
        }
    }
    // The island shows the last script imported, once, not each batch's.
    if (job->lastAdded)
        m_store.select(*job->lastAdded);
    Outcome &o = job->outcome;
    {
        std::lock_guard lock(job->channel->mutex);
        o.cancelled = job->channel->cancelled && job->handled < static_cast<int>(job->paths.size());
    }
    const QLocale locale;
    if (o.cancelled)
        o.summary = o.imported > 0
                        ? QStringLiteral("Imported %1 of %2 files before the import was cancelled.")
                              .arg(locale.toString(o.imported), locale.toString(job->paths.size()))
                        : QStringLiteral("The import was cancelled; nothing was imported.");
    else if (o.imported == 1)
        o.summary = QStringLiteral("Imported 1 script.");
    else if (o.imported > 1)
        o.summary = QStringLiteral("Imported %1 scripts.").arg(o.imported);
    else
        o.summary = job->firstFailure;
    emit finished(o);
    if (job->done)
        job->done(o);
    startNext();
}

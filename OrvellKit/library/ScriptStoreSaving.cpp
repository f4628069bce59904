#include "library/ScriptStore.h"

#include "base/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QPointer>

#include <algorithm>

// The store's writes: each text and the index, what is pending when the disk
// refuses them and when they are tried again, and the batches imports add.

Q_DECLARE_LOGGING_CATEGORY(lcLibrary)

namespace {

QString couldNotWrite(const QString &path, const QString &reason) {
    return QStringLiteral("could not write %1: %2").arg(QDir::toNativeSeparators(path), reason);
}

} // namespace

bool ScriptStore::mayWrite(const QString &path, const QUuid &id) {
    if (m_lock)
        return true;
    m_lock = LibraryLock::tryAcquire(root(), &m_lockProblem);
    if (!m_lock)
        recordWrite(path, describeFailure(path, id, m_lockProblem), m_lockProblem);
    else
        m_lockProblem.clear();
    return m_lock != nullptr;
}

QString ScriptStore::saveProblem() const {
    if (m_failures.empty())
        return QString();
    const QList<QUuid> unsaved = unsavedScripts();
    if (unsaved.size() < 2)
        return m_failures.front().problem;
    QStringList names;
    for (const QUuid &id : unsaved.first(std::min<qsizetype>(unsaved.size(), 3)))
        names << QStringLiteral("\u201C%1\u201D").arg(script(id)->title);
    QString who = names.join(QStringLiteral(", "));
    if (unsaved.size() > 3)
        who += QStringLiteral(" and %1 more").arg(unsaved.size() - 3);
    return QStringLiteral("Could not save %1 scripts (%2): %3. Your changes are kept while "
                          "Orvell is open and are saved as soon as writing works again.")
        .arg(unsaved.size())
        .arg(who, m_failures.front().reason);
}

QList<QUuid> ScriptStore::unsavedScripts() const {
    QList<QUuid> ids;
    if (!m_unsavedBodies.isEmpty())
        for (const Script &s : m_scripts)
            if (m_unsavedBodies.contains(s.id))
                ids << s.id;
    return ids;
}

QString ScriptStore::unsavedReason() const {
    return m_failures.empty() ? QString() : m_failures.front().reason;
}

QString ScriptStore::describeFailure(const QString &path, const QUuid &id,
                                     const QString &reason) const {
    const Script *s = id.isNull() ? nullptr : script(id);
    const QString what = s ? QStringLiteral("the script \u201C%1\u201D").arg(s->title)
                           : QStringLiteral("the library index");
    return QStringLiteral("Could not save %1 to %2: %3. Your changes are kept while Orvell is "
                          "open and are saved as soon as writing works again.")
        .arg(what, QDir::toNativeSeparators(path), reason);
}

void ScriptStore::recordWrite(const QString &path, const QString &problem,
                              const QString &reason) {
    const auto it = std::find_if(m_failures.begin(), m_failures.end(),
                                 [&](const Failure &f) { return f.path == path; });
    if (problem.isEmpty()) {
        if (it != m_failures.end())
            m_failures.erase(it);
        // The folder is usable again once anything in it was written.
        if (!m_failures.empty() && path.startsWith(root()))
            std::erase_if(m_failures, [&](const Failure &f) { return f.path == root(); });
    } else if (it == m_failures.end()) {
        m_failures.push_back({path, problem, reason});
        qCWarning(lcLibrary).noquote() << problem;
    } else {
        *it = {path, problem, reason};
    }
    publishSaveProblem();
}

void ScriptStore::publishSaveProblem() {
    const QString problem = saveProblem();
    if (problem == m_publishedProblem)
        return;
    m_publishedProblem = problem;
    emit saveProblemChanged();
}

void ScriptStore::writeManifestNow(bool catchUp) {
    // Until the library is read, an index written now would list only what
    // was made meanwhile: it is written once the load is in.
    if (!m_loaded) {
        m_indexUnsaved = true;
        return;
    }
    if (catchUp)
        writeUnsavedBodies();
    const QString path = m_io.manifestPath();
    bool ok = false;
    if (mayWrite(path, QUuid())) {
        QString error;
        ok = ScriptDiskIO::writeManifest(manifestToWrite(), root(), &error);
        recordWrite(path, ok ? QString() : describeFailure(path, QUuid(), error), error);
    }
    m_indexUnsaved = !ok;
    settleRetry();
}

bool ScriptStore::writeBodyNow(const Script &s) {
    const QString path = ScriptDiskIO::bodyPath(s.id, root());
    m_latestWrite.insert(s.id, ++m_writeSerial);
    bool ok = false;
    if (mayWrite(path, s.id)) {
        QString error;
        ok = m_unsafe->prepareToReplace(s.id, root(), now(), &error) &&
             ScriptDiskIO::writeBody(s.body, s.id, root(), &error);
        recordWrite(path, ok ? QString() : describeFailure(path, s.id, error), error);
        if (ok)
            noteStamp(s.id);
    }
    bodyWritten(s.id, ok);
    return ok;
}

void ScriptStore::bodyWritten(const QUuid &id, bool ok) {
    if (ok) {
        m_unsavedBodies.remove(id);
        // The index may list it now.
        if (m_unwritten.remove(id))
            m_indexUnsaved = true;
    } else if (script(id)) {
        m_unsavedBodies.insert(id);
    }
    publishSaveProblem();
    settleRetry();
}

void ScriptStore::settleRetry() {
    if (hasUnsaved()) {
        scheduleRetry();
        return;
    }
    if (m_retry)
        m_scheduler.cancel(m_retry);
    m_retry = 0;
    m_retryDelay = firstRetryDelay;
}

void ScriptStore::scheduleRetry() {
    if (m_retry)
        return;
    QPointer<ScriptStore> self(this);
    m_retry = m_scheduler.schedule(m_retryDelay, [self] {
        if (!self)
            return;
        self->m_retry = 0;
        self->retryUnsaved();
    });
    m_retryDelay = std::min(m_retryDelay * 2, maxRetryDelay);
}

bool ScriptStore::writeUnsavedBodies() {
    for (const QUuid &id : unsavedScripts()) {
        // A newer write of it is on its way and will say how it went.
        if (m_writesInFlight.contains(id) || m_bodySaves.contains(id))
            continue;
        // While the disk still refuses, one try a round is enough.
        if (!writeBodyNow(*script(id)))
            return false;
    }
    return true;
}

void ScriptStore::retryUnsaved() {
    if (!hasUnsaved())
        return;
    writeUnsavedBodies();
    if (m_indexUnsaved)
        writeManifestNow(false);
    settleRetry();
}

void ScriptStore::saveBodyInBackground(const QUuid &id, std::function<void()> then) {
    const Script *s = script(id);
    if (!s || !mayWrite(ScriptDiskIO::bodyPath(id, root()), id))
        return;
    // The text is taken now, on this thread, so the worker always writes the
    // newest body and never touches the list.
    const QString body = s->body;
    const QString storeRoot = root();
    const double at = now();
    const std::shared_ptr<UnsafeBodies> unsafe = m_unsafe;
    QPointer<ScriptStore> self(this);
    ++m_writesInFlight[id];
    const quint64 serial = ++m_writeSerial;
    m_latestWrite.insert(id, serial);
    m_io.queue().post([=, then = std::move(then)] {
        QString error;
        const bool ok = unsafe->prepareToReplace(id, storeRoot, at, &error) &&
                        ScriptDiskIO::writeBody(body, id, storeRoot, &error);
        const QString path = ScriptDiskIO::bodyPath(id, storeRoot);
        const auto stamp = ok ? DiskStamp::of(path) : std::nullopt;
        QMetaObject::invokeMethod(
            self.data(),
            [=] {
                if (!self)
                    return;
                if (--self->m_writesInFlight[id] <= 0)
                    self->m_writesInFlight.remove(id);
                // A later write of the same text (at quit, or a retry) already
                // said how it went.
                if (self->m_latestWrite.value(id) == serial) {
                    if (stamp)
                        self->m_stamps.insert(id, *stamp);
                    self->recordWrite(path,
                                      ok ? QString() : self->describeFailure(path, id, error),
                                      error);
                    self->bodyWritten(id, ok);
                }
                if (then)
                    then();
            },
            Qt::QueuedConnection);
    });
}

void ScriptStore::scheduleBodySave(const QUuid &id) {
    m_dirtyBodies.insert(id);
    if (const auto pending = m_bodySaves.take(id))
        m_scheduler.cancel(pending);
    QPointer<ScriptStore> self(this);
    m_bodySaves.insert(id, m_scheduler.schedule(saveDebounce, [self, id] {
        if (!self || !self->script(id))
            return;
        self->m_dirtyBodies.remove(id);
        self->m_bodySaves.remove(id);
        self->saveBodyInBackground(id, [self] {
            if (self && (self->m_manifestNeedsWrite || self->m_indexUnsaved)) {
                self->m_manifestNeedsWrite = false;
                self->writeManifestNow();
            }
        });
    }));
}

// A batch on its way to the disk: its scripts, and each one's title and
// text files (the title beside the text: killed before the index lists
// them, they are adopted under the titles they were imported with).
struct ScriptStore::Batch {
    std::vector<Script> made;
    std::vector<AtomicFile::Item> files;
    std::vector<int> wordCounts;
    bool selectLast = false;
    std::vector<AddedScript> results;
};

bool ScriptStore::prepareBatch(const std::vector<NewScript> &scripts, bool selectLast,
                               Batch &batch) {
    batch.results.resize(scripts.size());
    batch.selectLast = selectLast;
    const auto failAll = [&](const QString &error) {
        for (AddedScript &r : batch.results)
            r.error = error;
        return false;
    };
    if (scripts.empty())
        return false;
    if (!m_loaded)
        return failAll(QStringLiteral("the library is still being read"));
    QString why;
    if (!m_lock && !(m_lock = LibraryLock::tryAcquire(root(), &m_lockProblem)))
        return failAll(m_lockProblem);
    if (!ScriptDiskIO::prepareDirectories(root(), &why))
        return failAll(couldNotWrite(m_io.scriptsDirectory(), why));
    const double t = now();
    batch.made.reserve(scripts.size());
    batch.files.reserve(scripts.size() * 2);
    for (const NewScript &n : scripts) {
        const Script s{QUuid::createUuid(), Script::sanitizedTitle(n.title, n.body), n.body, t, t,
                       false, std::nullopt};
        batch.files.push_back(
            {ScriptDiskIO::pendingTitlePath(s.id, root()), s.title.toUtf8(), false, {}});
        batch.files.push_back({ScriptDiskIO::bodyPath(s.id, root()), s.body.toUtf8(), false, {}});
        batch.wordCounts.push_back(n.wordCount >= 0 ? n.wordCount : s.wordCount());
        batch.made.push_back(s);
    }
    return true;
}

std::vector<AddedScript> ScriptStore::addNow(const std::vector<NewScript> &scripts,
                                             bool selectLast) {
    Batch batch;
    if (!prepareBatch(scripts, selectLast, batch))
        return std::move(batch.results);
    AtomicFile::writeAll(batch.files);
    return finishBatch(std::move(batch), false);
}

void ScriptStore::addInBackground(const std::vector<NewScript> &scripts, bool selectLast,
                                  std::function<void(std::vector<AddedScript>)> done) {
    Batch batch;
    if (!prepareBatch(scripts, selectLast, batch)) {
        done(std::move(batch.results));
        return;
    }
    // Until the index lists them, their files are this store's own, not
    // another program's for the folder watch to adopt.
    for (const Script &s : batch.made)
        m_incoming.insert(s.id);
    auto shared = std::make_shared<Batch>(std::move(batch));
    QPointer<ScriptStore> self(this);
    m_io.queue().post([self, shared, done = std::move(done)] {
        AtomicFile::writeAll(shared->files);
        QMetaObject::invokeMethod(
            self.data(),
            [self, shared, done] {
                if (!self)
                    return;
                for (const Script &s : shared->made)
                    self->m_incoming.remove(s.id);
                done(self->finishBatch(std::move(*shared), true));
            },
            Qt::QueuedConnection);
    });
}

std::vector<AddedScript> ScriptStore::finishBatch(Batch batch, bool inBackground) {
    std::vector<AddedScript> &results = batch.results;
    const std::vector<Script> &made = batch.made;
    const std::vector<AtomicFile::Item> &files = batch.files;
    const size_t before = m_scripts.size();
    const std::optional<QUuid> selectedBefore = m_selectedID;
    std::vector<size_t> added;
    for (size_t i = 0; i < made.size(); ++i) {
        const AtomicFile::Item &title = files[2 * i], &body = files[2 * i + 1];
        if (title.written && body.written) {
            added.push_back(i);
            m_scripts.push_back(made[i]);
            m_wordCounts.insert(made[i].id, batch.wordCounts[i]);
            continue;
        }
        const AtomicFile::Item &failed = title.written ? body : title;
        results[i].error = couldNotWrite(failed.path, failed.error);
        QFile::remove(title.path);
        QFile::remove(body.path);
    }
    if (added.empty())
        return std::move(results);
    if (batch.selectLast)
        m_selectedID = m_scripts.back().id;

    QString why;
    if (!ScriptDiskIO::writeManifest(manifestToWrite(), root(), &why)) {
        m_scripts.resize(before);
        m_selectedID = selectedBefore;
        for (size_t i : added) {
            m_wordCounts.remove(made[i].id);
            QFile::remove(files[2 * i].path);
            QFile::remove(files[2 * i + 1].path);
            results[i].error = couldNotWrite(m_io.manifestPath(), why);
        }
        return std::move(results);
    }
    recordWrite(m_io.manifestPath(), QString());
    m_indexUnsaved = false;
    settleRetry();
    QStringList titles;
    for (size_t i : added) {
        titles << files[2 * i].path;
        noteStamp(made[i].id);
        results[i].script = made[i];
    }
    // Listed now: the titles kept for a crash are done with.
    const auto removeTitles = [titles] {
        for (const QString &path : titles)
            QFile::remove(path);
    };
    if (inBackground)
        m_io.queue().post(removeTitles);
    else
        removeTitles();
    emit scriptsChanged();
    if (m_selectedID != selectedBefore) {
        emit selectedIDChanged();
        refreshWordCount();
        emit selectedScriptReplaced();
    }
    return std::move(results);
}

void ScriptStore::flushPending(std::function<void()> done) {
    const QList<QUuid> dirty(m_dirtyBodies.cbegin(), m_dirtyBodies.cend());
    for (const QUuid &id : dirty) {
        if (const auto pending = m_bodySaves.take(id))
            m_scheduler.cancel(pending);
        saveBodyInBackground(id, {});
    }
    m_dirtyBodies.clear();
    // The queue is serial: this runs after every body write posted above.
    QPointer<ScriptStore> self(this);
    m_io.queue().post([self, done = std::move(done)] {
        QMetaObject::invokeMethod(
            self.data(),
            [self, done] {
                if (!self)
                    return;
                self->m_manifestNeedsWrite = false;
                self->writeManifestNow();
                if (done)
                    done();
            },
            Qt::QueuedConnection);
    });
}

bool ScriptStore::flushPendingSynchronously() {
    // A background write still in flight must land before the final one,
    // or it could put older text back on disk. Its answer has not reached
    // this thread yet, so its text is written again here.
    m_io.queue().waitUntilIdle();
    QSet<QUuid> toWrite = m_dirtyBodies + m_unsavedBodies;
    for (auto it = m_writesInFlight.cbegin(); it != m_writesInFlight.cend(); ++it)
        toWrite.insert(it.key());
    for (const Scheduler::Handle handle : std::as_const(m_bodySaves))
        m_scheduler.cancel(handle);
    m_bodySaves.clear();
    m_dirtyBodies.clear();
    for (const Script &s : m_scripts)
        if (toWrite.contains(s.id))
            writeBodyNow(s);
    // Every other change wrote the index at once: rewriting an unchanged one
    // would only hold up the quit of a large library.
    if (m_manifestNeedsWrite || m_indexUnsaved || !toWrite.isEmpty())
        writeManifestNow(false);
    m_manifestNeedsWrite = false;
    return !hasUnsaved();
}

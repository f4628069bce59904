#include "library/ScriptStore.h"

#include "base/AppPaths.h"
#include "base/AtomicFile.h"
#include "base/IsoDate.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QLoggingCategory>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <algorithm>

Q_LOGGING_CATEGORY(lcLibrary, "org.orvell.Orvell.Library")

QString ScriptStore::defaultRoot() {
    const QString root = AppPaths::applicationSupportRoot();
    return root.isEmpty() ? QDir::tempPath() + QStringLiteral("/OrvellLibrary") : root;
}

ScriptStore::ScriptStore(const QString &root, Options options, QObject *parent)
    : QObject(parent)
    , m_io(root)
    , m_scheduler(options.scheduler ? *options.scheduler : Scheduler::eventLoop())
    , m_now(options.now ? std::move(options.now) : std::function<double()>(IsoDate::now)) {
    LibraryLock::Refusal refusal = LibraryLock::Refusal::inUse;
    m_lock = LibraryLock::tryAcquire(root, &m_lockProblem, &refusal);
    if (!m_lock)
        qCWarning(lcLibrary).noquote() << "not writing the library:" << m_lockProblem;
    // A folder that cannot exist is said at once, not at the first edit.
    if (!m_lock && refusal == LibraryLock::Refusal::unusableFolder)
        recordWrite(root, m_lockProblem + u'.', m_lockProblem);
    const ScriptDiskIO::LoadMode mode =
        m_lock ? ScriptDiskIO::LoadMode::repair : ScriptDiskIO::LoadMode::readOnly;
    m_seedIfEmpty = options.seedIfEmpty;
    m_welcomeBody = options.welcomeBody;
    if (!options.loadInBackground) {
        install(loadLibrary(root, now(), mode, nullptr));
        return;
    }
    // A large library is read off this thread, so the window and the bus
    // answer (and a quit is honoured) while it loads.
    m_loading = std::make_shared<Loading>();
    m_loading->receiver = this;
    m_loading->lock = m_lock;
    m_loading->thread = std::thread([loading = m_loading, root, at = now(), mode] {
        auto library = std::make_shared<LoadedLibrary>(loadLibrary(root, at, mode, &loading->cancel));
        std::lock_guard lock(loading->mutex);
        loading->done = true;
        loading->ended.notify_all();
        if (loading->receiver && !loading->cancel)
            QMetaObject::invokeMethod(
                loading->receiver,
                [store = loading->receiver, library] {
                    static_cast<ScriptStore *>(store)->install(std::move(*library));
                },
                Qt::QueuedConnection);
    });
}

ScriptStore::LoadedLibrary ScriptStore::loadLibrary(const QString &root, double now,
                                                    ScriptDiskIO::LoadMode mode,
                                                    const std::atomic<bool> *cancel) {
    LoadedLibrary library;
    library.outcome = ScriptDiskIO::load(root, now, mode, cancel);
    library.scripts = library.outcome.scripts();
    for (const Script &s : library.scripts) {
        library.wordCounts.insert(s.id, s.wordCount());
        if (const auto stamp = DiskStamp::of(ScriptDiskIO::bodyPath(s.id, root)))
            library.stamps.insert(s.id, *stamp);
    }
    return library;
}

void ScriptStore::install(LoadedLibrary library) {
    if (m_loading) {
        m_loading->thread.join();
        m_loading.reset();
    }
    const LoadOutcome &outcome = library.outcome;
    // Scripts made while the library loaded stay, after the loaded ones; the
    // load may have adopted their files already.
    std::vector<Script> made = std::move(m_scripts);
    QSet<QUuid> madeIds;
    for (const Script &s : made)
        madeIds.insert(s.id);
    m_scripts = std::move(library.scripts);
    std::erase_if(m_scripts, [&](const Script &s) { return madeIds.contains(s.id); });
    m_scripts.insert(m_scripts.end(), made.begin(), made.end());
    m_wordCounts.insert(library.wordCounts);
    m_stamps.insert(library.stamps);
    for (const QUuid &id : outcome.unsafeBodies)
        m_unsafe->insert(id);
    if (!m_selectedID)
        m_selectedID = outcome.manifest.selectedID;
    if ((!m_selectedID || !script(*m_selectedID)) && !m_scripts.empty())
        m_selectedID = m_scripts.front().id;
    m_recovery = outcome.recovery;
    m_manifestExtra = outcome.manifest.extra;
    for (const ScriptEntry &e : outcome.manifest.entries)
        if (!e.extra.isEmpty())
            m_entryExtras.insert(e.id, e.extra);
    m_bodyProblems = outcome.bodyProblemsText();
    if (!m_bodyProblems.isEmpty())
        qCWarning(lcLibrary).noquote() << m_bodyProblems;
    if (m_recovery)
        qCWarning(lcLibrary).noquote() << "library index rebuilt:" << m_recovery->reason;
    m_loaded = true;

    if (m_seedIfEmpty && m_scripts.empty()) {
        const double t = now();
        Script welcome{
            QUuid::createUuid(), QStringLiteral("Welcome"), m_welcomeBody, t, t, false,
            std::nullopt};
        m_scripts.push_back(welcome);
        m_unwritten.insert(welcome.id);
        countWords(welcome);
        m_selectedID = welcome.id;
        writeBodyNow(welcome);
        m_indexUnsaved = true;
    }
    refreshWordCount();
    if (m_indexUnsaved)
        writeManifestNow();
    watchFiles();
    emit scriptsChanged();
    emit selectedIDChanged();
    if (m_recovery)
        emit recoveryChanged();
    emit loaded();
}

ScriptStore::~ScriptStore() {
    if (m_loading) {
        m_loading->cancel = true;
        std::unique_lock lock(m_loading->mutex);
        m_loading->receiver = nullptr;
        // A cancelled load ends at the next file, but reading a large index
        // cannot be cut short: past a moment it ends on its own, writes
        // nothing more, and lets go of the lock when it does, so a quit is
        // not held up.
        const bool ended = m_loading->ended.wait_for(lock, std::chrono::milliseconds(1000),
                                                     [this] { return m_loading->done; });
        lock.unlock();
        if (ended)
            m_loading->thread.join();
        else
            m_loading->thread.detach();
    }
    for (Scheduler::Handle handle : std::as_const(m_bodySaves))
        m_scheduler.cancel(handle);
    if (m_retry)
        m_scheduler.cancel(m_retry);
    // Background writes finish before the lock is let go.
    m_io.queue().waitUntilIdle();
}

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

void ScriptStore::noteStamp(const QUuid &id) {
    if (const auto stamp = DiskStamp::of(ScriptDiskIO::bodyPath(id, root())))
        m_stamps.insert(id, *stamp);
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

const Script *ScriptStore::script(const QUuid &id) const {
    const auto it = std::find_if(m_scripts.begin(), m_scripts.end(),
                                 [&](const Script &s) { return s.id == id; });
    return it == m_scripts.end() ? nullptr : &*it;
}

Script *ScriptStore::mutableScript(const QUuid &id) {
    return const_cast<Script *>(std::as_const(*this).script(id));
}

std::optional<qsizetype> ScriptStore::index(const QUuid &id) const {
    const Script *s = script(id);
    return s ? std::optional<qsizetype>(s - m_scripts.data()) : std::nullopt;
}

const Script *ScriptStore::selected() const {
    return m_selectedID ? script(*m_selectedID) : nullptr;
}

QString ScriptStore::selectedBody() const {
    const Script *s = selected();
    return s ? s->body : QString();
}

void ScriptStore::setSelection(std::optional<QUuid> id) {
    if (id == m_selectedID)
        return;
    m_selectedID = id;
    emit selectedIDChanged();
    refreshWordCount();
}

void ScriptStore::countWords(const Script &script) {
    m_wordCounts.insert(script.id, script.wordCount());
}

ScriptManifest ScriptStore::manifestToWrite() const {
    if (m_unwritten.isEmpty())
        return manifest();
    std::vector<Script> listed;
    listed.reserve(m_scripts.size());
    std::copy_if(m_scripts.begin(), m_scripts.end(), std::back_inserter(listed),
                 [&](const Script &s) { return !m_unwritten.contains(s.id); });
    return manifestOf(listed, m_selectedID && m_unwritten.contains(*m_selectedID)
                                  ? std::nullopt
                                  : m_selectedID);
}

ScriptManifest ScriptStore::manifest() const {
    return manifestOf(m_scripts, m_selectedID);
}

ScriptManifest ScriptStore::manifestOf(const std::vector<Script> &scripts,
                                       std::optional<QUuid> selected) const {
    ScriptManifest manifest(scripts, selected,
                            [this](const Script &s) { return m_wordCounts.value(s.id); });
    manifest.extra = m_manifestExtra;
    if (!m_entryExtras.isEmpty())
        for (ScriptEntry &e : manifest.entries)
            e.extra = m_entryExtras.value(e.id);
    return manifest;
}

void ScriptStore::refreshWordCount() {
    const Script *s = selected();
    const int count = s ? m_wordCounts.value(s->id) : 0;
    if (count == m_selectedWordCount)
        return;
    m_selectedWordCount = count;
    emit selectedWordCountChanged();
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

void ScriptStore::select(const QUuid &id) {
    if (!script(id) || m_selectedID == id)
        return;
    setSelection(id);
    writeManifestNow();
    if (onSelectionChanged)
        onSelectionChanged();
}

Script ScriptStore::create(const QString &title, const QString &body, bool selectIt) {
    const double t = now();
    const Script s{QUuid::createUuid(), Script::sanitizedTitle(title, body), body, t, t, false,
                   std::nullopt};
    m_scripts.push_back(s);
    m_unwritten.insert(s.id);
    countWords(s);
    emit scriptsChanged();
    if (selectIt) {
        setSelection(s.id);
        if (onSelectionChanged)
            onSelectionChanged();
    }
    writeBodyNow(s);
    writeManifestNow();
    return s;
}

namespace {

QString couldNotWrite(const QString &path, const QString &reason) {
    return QStringLiteral("could not write %1: %2").arg(QDir::toNativeSeparators(path), reason);
}

} // namespace

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
        if (onSelectionChanged)
            onSelectionChanged();
    }
    return std::move(results);
}

void ScriptStore::updateBody(const QString &body, const QUuid &id) {
    Script *s = mutableScript(id);
    if (!s || s->body == body)
        return;
    s->body = body;
    s->updatedAt = now();
    countWords(*s);
    emit scriptsChanged();
    if (m_selectedID == id)
        refreshWordCount();
    m_manifestNeedsWrite = true;
    scheduleBodySave(id);
}

void ScriptStore::rename(const QUuid &id, const QString &title) {
    Script *s = mutableScript(id);
    if (!s)
        return;
    const QString sanitized = Script::sanitizedTitle(title, s->body);
    if (sanitized == s->title)
        return;
    s->title = sanitized;
    s->updatedAt = now();
    emit scriptsChanged();
    writeManifestNow();
}

void ScriptStore::toggleFavorite(const QUuid &id) {
    Script *s = mutableScript(id);
    if (!s)
        return;
    s->isFavorite = !s->isFavorite;
    emit scriptsChanged();
    writeManifestNow();
}

void ScriptStore::setTarget(std::optional<double> seconds, const QUuid &id) {
    Script *s = mutableScript(id);
    if (!s || s->targetSeconds == seconds)
        return;
    s->targetSeconds = seconds;
    emit scriptsChanged();
    writeManifestNow();
}

void ScriptStore::deleteScript(const QUuid &id) {
    const auto position = index(id);
    if (!position)
        return;
    if (const auto pending = m_bodySaves.take(id))
        m_scheduler.cancel(pending);
    m_dirtyBodies.remove(id);
    m_unsavedBodies.remove(id);
    m_unwritten.remove(id);
    recordWrite(ScriptDiskIO::bodyPath(id, root()), QString());
    m_deleted.insert(id);
    m_stamps.remove(id);
    m_scripts.erase(m_scripts.begin() + *position);
    m_wordCounts.remove(id);
    emit scriptsChanged();

    if (m_selectedID == id) {
        std::optional<QUuid> next;
        if (!m_scripts.empty())
            next = m_scripts[std::min<size_t>(static_cast<size_t>(*position), m_scripts.size() - 1)]
                       .id;
        setSelection(next);
        if (onSelectionChanged)
            onSelectionChanged();
    }
    writeManifestNow();
    if (!m_lock)
        return;

    const QString storeRoot = root();
    const double at = now();
    const std::shared_ptr<UnsafeBodies> unsafe = m_unsafe;
    m_io.queue().post([=] {
        QString error;
        // A file that could not be read is kept aside even when its script goes.
        if (unsafe->prepareToReplace(id, storeRoot, at, &error))
            ScriptDiskIO::deleteBody(id, storeRoot, &error);
    });
}

void ScriptStore::deleteScripts(const QList<QUuid> &ids) {
    for (const QUuid &id : ids)
        deleteScript(id);
}

std::optional<Script> ScriptStore::duplicate(const QUuid &id) {
    const auto position = index(id);
    if (!position)
        return std::nullopt;
    const Script &source = m_scripts[static_cast<size_t>(*position)];
    const double t = now();
    const Script copy{QUuid::createUuid(),
                      Script::sanitizedTitle(source.title + QStringLiteral(" copy"), QString()),
                      source.body,
                      t,
                      t,
                      false,
                      std::nullopt};
    m_scripts.insert(m_scripts.begin() + *position + 1, copy);
    m_unwritten.insert(copy.id);
    countWords(copy);
    emit scriptsChanged();
    writeBodyNow(copy);
    writeManifestNow();
    return copy;
}

void ScriptStore::move(const QList<qsizetype> &fromOffsets, qsizetype toOffset) {
    QList<qsizetype> offsets = fromOffsets;
    std::sort(offsets.begin(), offsets.end());
    offsets.erase(std::unique(offsets.begin(), offsets.end()), offsets.end());
    const auto size = static_cast<qsizetype>(m_scripts.size());
    offsets.removeIf([&](qsizetype o) { return o < 0 || o >= size; });
    if (offsets.isEmpty())
        return;

    std::vector<Script> moved;
    qsizetype before = 0;
    for (auto it = offsets.crbegin(); it != offsets.crend(); ++it) {
        moved.insert(moved.begin(), m_scripts[static_cast<size_t>(*it)]);
        m_scripts.erase(m_scripts.begin() + *it);
        if (*it < toOffset)
            ++before;
    }
    const qsizetype at =
        std::clamp<qsizetype>(toOffset - before, 0, static_cast<qsizetype>(m_scripts.size()));
    m_scripts.insert(m_scripts.begin() + at, moved.begin(), moved.end());
    emit scriptsChanged();
    writeManifestNow();
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

void ScriptStore::dismissRecoveryNotice() {
    if (!m_recovery)
        return;
    m_recovery.reset();
    emit recoveryChanged();
}

void ScriptStore::restore(const Script &kept, bool withBody) {
    Script *s = mutableScript(kept.id);
    if (!s && !withBody)
        return; // deleted since, by another program
    if (!s) {
        m_scripts.push_back(kept);
        m_unwritten.insert(kept.id);
        s = &m_scripts.back();
    } else {
        s->title = kept.title;
        s->isFavorite = kept.isFavorite;
        s->targetSeconds = kept.targetSeconds;
        s->updatedAt = std::max(s->updatedAt, kept.updatedAt);
        if (withBody)
            s->body = kept.body;
    }
    countWords(*s);
    emit scriptsChanged();
    refreshWordCount();
    if (withBody)
        writeBodyNow(*s);
    writeManifestNow();
}

QString ScriptStore::changedOnDiskTitle(const QString &title) {
    return title + QStringLiteral(" (changed on disk)");
}

void ScriptStore::watchFiles() {
    if (!m_watcher) {
        m_watcher = std::make_unique<QFileSystemWatcher>();
        connect(m_watcher.get(), &QFileSystemWatcher::fileChanged, this,
                &ScriptStore::scheduleDiskCheck);
        connect(m_watcher.get(), &QFileSystemWatcher::directoryChanged, this,
                &ScriptStore::scheduleDiskCheck);
    }
    // An editor that saves by renaming over the file leaves the old watch on
    // a file that is gone, so the files are watched again after every check.
    // In a large library only the most recently edited are watched one by
    // one (a watch each costs the system and Qt alike); a file renamed over
    // another still shows in the folder's watch.
    QStringList paths;
    const QString folder = m_io.scriptsDirectory();
    if (QFileInfo(folder).isDir())
        paths << folder;
    std::vector<const Script *> files;
    for (const Script &s : m_scripts)
        if (m_stamps.contains(s.id))
            files.push_back(&s);
    const auto newest = [](const Script *a, const Script *b) { return a->updatedAt > b->updatedAt; };
    if (files.size() > maxWatchedFiles) {
        std::nth_element(files.begin(), files.begin() + maxWatchedFiles, files.end(), newest);
        files.resize(maxWatchedFiles);
    }
    for (const Script *s : files)
        paths << ScriptDiskIO::bodyPath(s->id, root());
    const QStringList watchedList = m_watcher->files() + m_watcher->directories();
    const QSet<QString> watched(watchedList.cbegin(), watchedList.cend());
    paths.removeIf([&](const QString &p) { return watched.contains(p); });
    if (!paths.isEmpty())
        m_watcher->addPaths(paths);
}

void ScriptStore::scheduleDiskCheck() {
    if (!m_diskCheck) {
        m_diskCheck = new QTimer(this);
        m_diskCheck->setSingleShot(true);
        m_diskCheck->setInterval(static_cast<int>(diskCheckDelay * 1000));
        connect(m_diskCheck, &QTimer::timeout, this, &ScriptStore::checkDisk);
    }
    if (!m_diskCheck->isActive())
        m_diskCheck->start();
}

void ScriptStore::checkDisk() {
    if (!m_loaded)
        return;
    std::vector<Script> theirs;
    bool changed = false;
    for (Script &s : m_scripts) {
        if (m_writesInFlight.contains(s.id))
            continue;
        const auto stamp = DiskStamp::of(ScriptDiskIO::bodyPath(s.id, root()));
        if (!stamp || m_stamps.value(s.id) == *stamp)
            continue;
        m_stamps.insert(s.id, *stamp);
        const BodyRead read = ScriptDiskIO::readBody(s.id, root());
        if (!read.text || *read.text == s.body)
            continue;
        if (!read.exact)
            m_unsafe->insert(s.id);
        if (m_dirtyBodies.contains(s.id) || m_unsavedBodies.contains(s.id)) {
            // Both changed: this store's text stays (its save is pending) and
            // the other program's version becomes a script of its own.
            const double t = now();
            theirs.push_back({QUuid::createUuid(), changedOnDiskTitle(s.title), *read.text, t, t,
                              false, std::nullopt});
            continue;
        }
        qCInfo(lcLibrary).noquote() << "reloaded" << s.title << "changed by another program";
        s.body = *read.text;
        s.updatedAt = now();
        countWords(s);
        changed = true;
    }
    for (const Script &copy : theirs) {
        m_scripts.push_back(copy);
        m_unwritten.insert(copy.id);
        countWords(copy);
        writeBodyNow(copy);
        changed = true;
    }
    if (changed) {
        emit scriptsChanged();
        refreshWordCount();
        writeManifestNow();
    }
    adoptNewFiles();
    watchFiles();
}

void ScriptStore::adoptNewFiles() {
    QSet<QUuid> known = m_deleted + m_incoming;
    for (const Script &s : m_scripts)
        known.insert(s.id);
    const LoadOutcome found = ScriptDiskIO::adoptable(root(), known, now());
    if (found.manifest.entries.empty())
        return;
    for (Script &s : found.scripts()) {
        if (found.unsafeBodies.contains(s.id))
            m_unsafe->insert(s.id);
        m_scripts.push_back(std::move(s));
        countWords(m_scripts.back());
        noteStamp(m_scripts.back().id);
    }
    emit scriptsChanged();
    writeManifestNow();
}

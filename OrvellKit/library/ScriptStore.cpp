#include "library/ScriptStore.h"

#include "base/AppPaths.h"
#include "base/IsoDate.h"

#include <QDir>
#include <QFileSystemWatcher>
#include <QLoggingCategory>

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
    // The new script's count is in place before anyone hears of the new
    // selection, so a header reading both never shows the old one's.
    const bool recounted = recountSelected();
    emit selectedIDChanged();
    if (recounted)
        emit selectedWordCountChanged();
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

bool ScriptStore::recountSelected() {
    const Script *s = selected();
    const int count = s ? m_wordCounts.value(s->id) : 0;
    if (count == m_selectedWordCount)
        return false;
    m_selectedWordCount = count;
    return true;
}

void ScriptStore::refreshWordCount() {
    if (recountSelected())
        emit selectedWordCountChanged();
}

void ScriptStore::select(const QUuid &id) {
    if (!script(id) || m_selectedID == id)
        return;
    setSelection(id);
    writeManifestNow();
    emit selectedScriptReplaced();
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
        emit selectedScriptReplaced();
    }
    writeBodyNow(s);
    writeManifestNow();
    return s;
}

void ScriptStore::updateBody(const QString &body, const QUuid &id) {
    Script *s = mutableScript(id);
    if (!s || s->body == body)
        return;
    s->body = body;
    s->updatedAt = now();
    countWords(*s);
    // The count first: whoever hears of the change reads it at once.
    if (m_selectedID == id)
        refreshWordCount();
    emit scriptsChanged();
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
        emit selectedScriptReplaced();
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
    refreshWordCount();
    emit scriptsChanged();
    if (withBody)
        writeBodyNow(*s);
    writeManifestNow();
}


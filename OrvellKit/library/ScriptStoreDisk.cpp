#include "library/ScriptStore.h"

#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QLoggingCategory>
#include <QTimer>

#include <algorithm>

// The store and the folder: reading the library (at once or on a thread of
// its own), and noticing what other programs change in it.

Q_DECLARE_LOGGING_CATEGORY(lcLibrary)

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

void ScriptStore::noteStamp(const QUuid &id) {
    if (const auto stamp = DiskStamp::of(ScriptDiskIO::bodyPath(id, root())))
        m_stamps.insert(id, *stamp);
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

#include "library/ScriptDiskIO.h"

#include "base/AtomicFile.h"
#include "base/FileRead.h"
#include "base/IsoDate.h"
#include "base/TextDecoding.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

#include <sys/stat.h>

namespace {

const QString manifestName = QStringLiteral("library.json");
const QString scriptsName = QStringLiteral("Scripts");

BodyRead readBodyFile(const QString &path) {
    const FileRead::Result read = FileRead::regular(path, ScriptDiskIO::maxBodyBytes);
    if (!read.bytes)
        return {std::nullopt, false,
                read.failure == FileRead::Failure::notFound ? QStringLiteral("missing")
                                                            : read.reason};
    const QByteArray &bytes = *read.bytes;
    if (auto exact = TextDecoding::decode(bytes, TextDecoding::Encoding::utf8))
        return {std::move(exact), true, QString()};
    // An editor may have saved the file in another encoding: show its text
    // rather than an empty script whose first keystroke would erase it.
    return {TextDecoding::decodeWithFallbacks(bytes), false, QString()};
}

struct Rebuilt {
    ScriptManifest manifest;
    QHash<QUuid, QString> bodies;
    QSet<QUuid> unsafe;
};

// Called by the holder of the library lock only: no other writer can be
// midway through a write, so a temporary from before this load is left over
// from a crash, however large. One of the last moments may be a write of this
// holder's own, running while the library loads in the background (file
// times are coarse, and the loading thread may start late): it stays, and a
// crash's one that young goes at the next load.
void removeTemporaries(const QString &folder, qint64 loadStartedMs) {
    const QDir dir(folder);
    const auto hidden = dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo &info : hidden)
        if (AtomicFile::isTemporaryName(info.fileName()) &&
            info.lastModified().toMSecsSinceEpoch() < loadStartedMs)
            QFile::remove(info.absoluteFilePath());
}

QString firstFreeName(const QString &base) {
    if (!QFileInfo::exists(base))
        return base;
    for (int n = 2;; ++n) {
        const QString candidate = base + QLatin1Char('-') + QString::number(n);
        if (!QFileInfo::exists(candidate))
            return candidate;
    }
}

bool isCancelled(const std::atomic<bool> *cancel) {
    return cancel && cancel->load(std::memory_order_relaxed);
}

// Builds an index from the body files, leaving out the ids in `skip`.
Rebuilt rebuild(const QString &scriptsFolder, double now, const QSet<QUuid> &skip = {},
                const std::atomic<bool> *cancel = nullptr) {
    struct Found {
        Script script;
        bool exact;
    };
    std::vector<Found> found;
    const QDir dir(scriptsFolder);
    // Hidden files are left out by default. Sorting by name first makes the
    // order of files created in the same instant the same on every load.
    // Names alone first: in a large library nearly every file is known, and
    // only the others are looked at closer.
    const QStringList names = dir.entryList(QDir::Files, QDir::Name);
    for (const QString &name : names) {
        if (isCancelled(cancel))
            break;
        const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
        if (dot < 0 || QStringView(name).mid(dot + 1).compare(u"txt", Qt::CaseInsensitive) != 0)
            continue;
        const auto id = Script::parseId(QStringView(name).left(dot));
        if (!id || skip.contains(*id))
            continue;
        const QFileInfo info(dir.filePath(name));
        // Read by the listed name: it may differ in letter case from the canonical one.
        const BodyRead read = readBodyFile(info.absoluteFilePath());
        if (!read.text)
            continue;
        Script s;
        s.id = *id;
        s.body = *read.text;
        const QDateTime born = info.birthTime();
        const QDateTime modified = info.lastModified();
        s.createdAt = born.isValid() ? born.toMSecsSinceEpoch() / 1000.0 : now;
        s.updatedAt = modified.isValid() ? modified.toMSecsSinceEpoch() / 1000.0 : s.createdAt;
        // A writer killed between the body and the index left the title it
        // meant to give beside the body.
        const FileRead::Result title = FileRead::regular(
            ScriptDiskIO::pendingTitlePath(*id, QFileInfo(scriptsFolder).path()), 4096);
        s.title = title.bytes ? Script::sanitizedTitle(QString::fromUtf8(*title.bytes), s.body)
                              : Script::derivedTitle(s.body, untitledScriptTitle);
        found.push_back({std::move(s), read.exact});
    }
    std::stable_sort(found.begin(), found.end(), [](const Found &a, const Found &b) {
        return a.script.createdAt < b.script.createdAt;
    });
    Rebuilt r;
    std::vector<Script> scripts;
    for (Found &f : found) {
        // Two files may name one id in different letter case; the first wins.
        if (r.bodies.contains(f.script.id))
            continue;
        r.bodies.insert(f.script.id, f.script.body);
        if (!f.exact)
            r.unsafe.insert(f.script.id);
        scripts.push_back(std::move(f.script));
    }
    r.manifest = ScriptManifest(scripts, std::nullopt);
    return r;
}

LoadOutcome fromRebuild(Rebuilt r) {
    LoadOutcome outcome;
    outcome.manifest = std::move(r.manifest);
    outcome.bodies = std::move(r.bodies);
    outcome.unsafeBodies = std::move(r.unsafe);
    return outcome;
}

LoadOutcome recover(const QString &root, double now, const QString &reason,
                    ScriptDiskIO::LoadMode mode, const std::atomic<bool> *cancel) {
    if (isCancelled(cancel))
        return {};
    if (mode == ScriptDiskIO::LoadMode::readOnly) {
        LoadOutcome outcome = fromRebuild(rebuild(ScriptDiskIO::scriptsDirectory(root), now));
        outcome.recovery =
            RecoveryReport{QString(), static_cast<int>(outcome.manifest.entries.size()), reason};
        return outcome;
    }
    const QString manifest = ScriptDiskIO::manifestPath(root);
    const QString backup =
        firstFreeName(manifest + QStringLiteral(".corrupt-") + ScriptDiskIO::corruptionStamp(now));
    if (!QFile::rename(manifest, backup))
        QFile::remove(manifest);
    LoadOutcome outcome = fromRebuild(rebuild(ScriptDiskIO::scriptsDirectory(root), now, {}, cancel));
    // A rebuild cut short is never written: the next load rebuilds it whole.
    if (isCancelled(cancel))
        return outcome;
    ScriptDiskIO::writeManifest(outcome.manifest, root, nullptr);
    outcome.recovery =
        RecoveryReport{backup, static_cast<int>(outcome.manifest.entries.size()), reason};
    return outcome;
}

} // namespace

QString RecoveryReport::noticeTitle() const {
    return QStringLiteral("Library index rebuilt");
}

QString RecoveryReport::noticeText() const {
    const QString count = recoveredCount == 1
                              ? QStringLiteral("1 script file")
                              : QString::number(recoveredCount) + QStringLiteral(" script files");
    // A reader that may not repair leaves the index where it is.
    if (backupPath.isEmpty())
        return QStringLiteral("library.json could not be read; the order and any custom names "
                              "can be rebuilt from your ") +
               count +
               QStringLiteral(". Nothing was changed: Orvell rebuilds it when it opens "
                              "the library.");
    return QStringLiteral("library.json could not be read, so the order and any custom names "
                          "were rebuilt from your ") +
           count + QStringLiteral(". Nothing was deleted \u2014 the old index was kept as ") +
           QFileInfo(backupPath).fileName() + QLatin1Char('.');
}

QString LoadOutcome::bodyProblemsText() const {
    if (bodyProblems.isEmpty())
        return QString();
    QStringList lines;
    for (const ScriptEntry &e : manifest.entries) {
        const auto it = bodyProblems.constFind(e.id);
        if (it == bodyProblems.cend())
            continue;
        lines
            << (it.value() == u"missing"
                    ? QStringLiteral("The text of \u201C%1\u201D is missing: its file %2 is gone.")
                          .arg(e.title, Script::idText(e.id) + QStringLiteral(".txt"))
                    : QStringLiteral("The text of \u201C%1\u201D could not be read from %2: %3.")
                          .arg(e.title, Script::idText(e.id) + QStringLiteral(".txt"), it.value()));
    }
    return lines.join(QLatin1Char('\n'));
}

std::vector<Script> LoadOutcome::scripts() const {
    std::vector<Script> result;
    for (const ScriptEntry &e : manifest.ordered())
        result.push_back(e.script(bodies.value(e.id)));
    return result;
}

ScriptDiskIO::ScriptDiskIO(QString root)
    : m_root(std::move(root)) {}

QString ScriptDiskIO::manifestPath(const QString &root) {
    return root + QLatin1Char('/') + manifestName;
}

QString ScriptDiskIO::scriptsDirectory(const QString &root) {
    return root + QLatin1Char('/') + scriptsName;
}

QString ScriptDiskIO::bodyPath(const QUuid &id, const QString &root) {
    return scriptsDirectory(root) + QLatin1Char('/') + Script::idText(id) + QStringLiteral(".txt");
}

QString ScriptDiskIO::pendingTitlePath(const QUuid &id, const QString &root) {
    return scriptsDirectory(root) + QLatin1Char('/') + Script::idText(id) +
           QStringLiteral(".title");
}

QString ScriptDiskIO::corruptionStamp(double seconds) {
    return IsoDate::stamp(seconds);
}

bool ScriptDiskIO::prepareDirectories(const QString &root, QString *error) {
    QString reason;
    if (AtomicFile::makeFolder(scriptsDirectory(root), &reason))
        return true;
    if (error)
        *error = reason;
    return false;
}

bool ScriptDiskIO::writeManifest(const ScriptManifest &manifest, const QString &root,
                                 QString *error) {
    return prepareDirectories(root, error) &&
           AtomicFile::write(manifestPath(root), manifest.toJson(), error);
}

bool ScriptDiskIO::writeBody(const QString &text, const QUuid &id, const QString &root,
                             QString *error) {
    return prepareDirectories(root, error) &&
           AtomicFile::write(bodyPath(id, root), text.toUtf8(), error);
}

BodyRead ScriptDiskIO::readBody(const QUuid &id, const QString &root) {
    return readBodyFile(bodyPath(id, root));
}

bool ScriptDiskIO::deleteBody(const QUuid &id, const QString &root, QString *error) {
    QFile file(bodyPath(id, root));
    if (!file.exists() || file.remove())
        return true;
    if (error)
        *error = file.errorString();
    return false;
}

bool ScriptDiskIO::keepCopyOfBody(const QUuid &id, const QString &root, double now,
                                  QString *keptPath, QString *error) {
    const QString path = bodyPath(id, root);
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true; // nothing to keep
    const QString kept = firstFreeName(root + QLatin1Char('/') + Script::idText(id) +
                                       QStringLiteral(".txt.original-") + corruptionStamp(now));
    const FileRead::Result read = FileRead::regular(path, maxBodyBytes);
    if (!read.bytes) {
        // A pipe, a device or an oversized file is moved aside whole, never read.
        if ((read.failure == FileRead::Failure::notRegularFile && !info.isDir()) ||
            read.failure == FileRead::Failure::tooLarge) {
            if (QFile::rename(path, kept)) {
                if (keptPath)
                    *keptPath = kept;
                return true;
            }
        }
        if (error)
            *error = read.reason;
        return false;
    }
    if (!AtomicFile::write(kept, *read.bytes, error))
        return false;
    if (keptPath)
        *keptPath = kept;
    return true;
}

LoadOutcome ScriptDiskIO::adoptable(const QString &root, const QSet<QUuid> &known, double now) {
    return fromRebuild(rebuild(scriptsDirectory(root), now, known));
}

LoadOutcome ScriptDiskIO::load(const QString &root, double now, LoadMode mode,
                               const std::atomic<bool> *cancel) {
    const bool repair = mode == LoadMode::repair;
    if (repair) {
        prepareDirectories(root, nullptr);
        // The disk's clock, not the caller's: it is compared with file times.
        const qint64 started = QDateTime::currentMSecsSinceEpoch() - 2000;
        removeTemporaries(root, started);
        removeTemporaries(scriptsDirectory(root), started);
    }

    const FileRead::Result index = FileRead::regular(manifestPath(root), maxManifestBytes);
    if (index.failure == FileRead::Failure::notFound)
        return fromRebuild(rebuild(scriptsDirectory(root), now, {}, cancel));
    // An index that exists but cannot be read is set aside like a damaged
    // one, rather than replaced by the next write.
    if (!index.bytes)
        return recover(root, now, index.reason, mode, cancel);
    const QByteArray &json = *index.bytes;

    QString reason;
    std::optional<ScriptManifest> manifest = ScriptManifest::fromJson(json, &reason);
    if (!manifest)
        return recover(root, now, reason, mode, cancel);
    // A newer version's index is kept whole beside ours before we first write.
    if (repair && manifest->version > ScriptManifest::currentVersion) {
        const QString kept =
            manifestPath(root) + QStringLiteral(".version-%1").arg(manifest->version);
        if (!QFileInfo::exists(kept))
            AtomicFile::write(kept, json, nullptr);
    }
    manifest->normalize();
    // A hand-edited index may list an id twice: the first entry counts.
    QSet<QUuid> listed;
    std::erase_if(manifest->entries, [&](const ScriptEntry &e) {
        if (listed.contains(e.id))
            return true;
        listed.insert(e.id);
        return false;
    });

    LoadOutcome outcome;
    for (const ScriptEntry &e : manifest->entries) {
        if (isCancelled(cancel))
            return outcome;
        const BodyRead read = readBody(e.id, root);
        outcome.bodies.insert(e.id, read.text.value_or(QString()));
        if (!read.exact && read.problem != u"missing")
            outcome.unsafeBodies.insert(e.id);
        // The entry stays, so the user sees what was lost.
        if (!read.problem.isEmpty())
            outcome.bodyProblems.insert(e.id, read.problem);
    }

    QSet<QUuid> known;
    for (const ScriptEntry &e : manifest->entries)
        known.insert(e.id);
    // Only files the index does not know are read again.
    const Rebuilt onDisk = rebuild(scriptsDirectory(root), now, known, cancel);
    if (isCancelled(cancel))
        return outcome;
    bool adopted = false;
    for (const ScriptEntry &e : onDisk.manifest.ordered()) {
        if (known.contains(e.id))
            continue;
        manifest->append(e);
        outcome.bodies.insert(e.id, onDisk.bodies.value(e.id));
        if (onDisk.unsafe.contains(e.id))
            outcome.unsafeBodies.insert(e.id);
        adopted = true;
    }
    if (adopted && repair)
        writeManifest(*manifest, root, nullptr);
    // A title left for adoption is done with once the index lists its script.
    if (repair && !isCancelled(cancel)) {
        const QDir scripts(scriptsDirectory(root));
        for (const QString &name : scripts.entryList({QStringLiteral("*.title")}, QDir::Files)) {
            const auto id = Script::parseId(QStringView(name).chopped(6));
            if (id && std::any_of(manifest->entries.begin(), manifest->entries.end(),
                                  [&](const ScriptEntry &e) { return e.id == *id; }))
                QFile::remove(scripts.filePath(name));
        }
    }
    outcome.manifest = std::move(*manifest);
    return outcome;
}

std::optional<DiskStamp> DiskStamp::of(const QString &path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return DiskStamp{static_cast<qint64>(st.st_size),
                     static_cast<qint64>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
                     static_cast<quint64>(st.st_ino)};
}

void UnsafeBodies::insert(const QUuid &id) {
    std::lock_guard lock(m_mutex);
    m_ids.insert(id);
}

void UnsafeBodies::reset(const QSet<QUuid> &ids) {
    std::lock_guard lock(m_mutex);
    m_ids = ids;
}

bool UnsafeBodies::contains(const QUuid &id) const {
    std::lock_guard lock(m_mutex);
    return m_ids.contains(id);
}

bool UnsafeBodies::prepareToReplace(const QUuid &id, const QString &root, double now,
                                    QString *error) {
    std::lock_guard lock(m_mutex);
    if (!m_ids.contains(id))
        return true;
    if (!ScriptDiskIO::keepCopyOfBody(id, root, now, nullptr, error))
        return false;
    m_ids.remove(id);
    return true;
}

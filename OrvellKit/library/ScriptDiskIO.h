#pragma once

#include "base/SerialQueue.h"
#include "library/ScriptManifest.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QUuid>

#include <atomic>
#include <mutex>
#include <optional>
#include <vector>

// What a load found when library.json could not be read and was set aside.
struct RecoveryReport {
    QString backupPath; // where the damaged index was moved
    int recoveredCount = 0;
    QString reason; // the reading error, for the log

    QString noticeTitle() const;
    QString noticeText() const;

    bool operator==(const RecoveryReport &) const = default;
};

struct LoadOutcome {
    ScriptManifest manifest;
    QHash<QUuid, QString> bodies;
    std::optional<RecoveryReport> recovery;
    // Body files that exist but could not be read exactly as UTF-8: decoded
    // with a fallback encoding, or not readable at all. They must be copied
    // aside before anything replaces them.
    QSet<QUuid> unsafeBodies;
    // Entries whose body file is missing ("missing") or could not be read
    // (the reason); they load with an empty text.
    QHash<QUuid, QString> bodyProblems;
    // One sentence a problem, naming the script and its file; empty when none.
    QString bodyProblemsText() const;

    // The scripts in the index's order, bodies filled in.
    std::vector<Script> scripts() const;
};

// What a file looked like on disk: enough to tell that someone else wrote it.
struct DiskStamp {
    qint64 size = -1;
    qint64 modifiedNs = 0;
    quint64 inode = 0;
    bool operator==(const DiskStamp &) const = default;
    // Nothing where there is no regular file.
    static std::optional<DiskStamp> of(const QString &path);
};

struct BodyRead {
    std::optional<QString> text; // nothing when the file could not be read
    bool exact = false;          // the bytes were valid UTF-8
    QString problem;             // "missing", or why it could not be read
};

// Every file operation on the library folder:
//   library.json                       the index
//   Scripts/<ID>.txt                   one UTF-8 body per script
//   library.json.corrupt-<stamp>[-n]   indexes that could not be read
//   <ID>.txt.original-<stamp>[-n]      body files kept before a first overwrite
// Loading never fails; writes are atomic and report the system's reason.
// The instance adds the serial worker thread that background writes run on.
class ScriptDiskIO {
public:
    explicit ScriptDiskIO(QString root);

    const QString &root() const { return m_root; }
    QString manifestPath() const { return manifestPath(m_root); }
    QString scriptsDirectory() const { return scriptsDirectory(m_root); }
    SerialQueue &queue() { return m_queue; }

    // Larger files are not read: a body is at most a script's length in UTF-8.
    static constexpr qint64 maxBodyBytes = 16 * 1024 * 1024;
    static constexpr qint64 maxManifestBytes = 64 * 1024 * 1024;

    static QString manifestPath(const QString &root);
    static QString scriptsDirectory(const QString &root);
    static QString bodyPath(const QUuid &id, const QString &root);
    // Scripts/<ID>.title: the title of a script whose body is written but
    // whose index entry may not be yet; adoption takes it from there.
    static QString pendingTitlePath(const QUuid &id, const QString &root);

    static bool prepareDirectories(const QString &root, QString *error);
    static bool writeManifest(const ScriptManifest &manifest, const QString &root, QString *error);
    static bool writeBody(const QString &text, const QUuid &id, const QString &root,
                          QString *error);
    static BodyRead readBody(const QUuid &id, const QString &root);
    static bool deleteBody(const QUuid &id, const QString &root, QString *error);
    // Copies a body file beside the index under a name no file has yet.
    static bool keepCopyOfBody(const QUuid &id, const QString &root, double now, QString *keptPath,
                               QString *error);

    // Only the holder of the library lock repairs (adopts orphans, sets a
    // damaged index aside, cleans up temporaries); everyone else just reads.
    enum class LoadMode { repair, readOnly };
    // `cancel`, when set from another thread, ends a load early: what it
    // returns is then incomplete and must not be used, and nothing more is
    // written.
    static LoadOutcome load(const QString &root, double now, LoadMode mode = LoadMode::repair,
                            const std::atomic<bool> *cancel = nullptr);
    static QString corruptionStamp(double seconds);
    // The body files in Scripts/ whose ids are not in `known`, read as a load
    // adopts them; nothing is written.
    static LoadOutcome adoptable(const QString &root, const QSet<QUuid> &known, double now);

private:
    QString m_root;
    SerialQueue m_queue;
};

// The body files that must be copied aside before their first overwrite.
// Shared by the main thread and the disk worker, so it locks.
class UnsafeBodies {
public:
    void reset(const QSet<QUuid> &ids);
    void insert(const QUuid &id);
    bool contains(const QUuid &id) const;
    // True when the file may now be replaced: it was never unsafe, or a copy
    // was just kept. False, with the reason, when the copy failed.
    bool prepareToReplace(const QUuid &id, const QString &root, double now, QString *error);

private:
    mutable std::mutex m_mutex;
    QSet<QUuid> m_ids;
};

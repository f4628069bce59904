#include "library/UnsavedCopies.h"

#include "base/AppIdentity.h"
#include "base/AtomicFile.h"
#include "base/FileRead.h"
#include "base/IsoDate.h"
#include "library/ScriptStore.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>

#include <unistd.h>

Q_DECLARE_LOGGING_CATEGORY(lcLibrary)

namespace UnsavedCopies {

namespace {

const QString bodyOnDiskKey = QStringLiteral("bodyOnDisk");
// A kept copy holds at most the whole library with a few long texts.
constexpr qint64 maxCopyBytes = 512 * 1024 * 1024;

QString canonical(const QString &folder) {
    const QString c = QDir(folder).canonicalPath();
    return c.isEmpty() ? QDir::cleanPath(QDir(folder).absolutePath()) : c;
}

} // namespace

QStringList folders() {
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || QDir::isRelativePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return {state + QLatin1Char('/') + AppIdentity::appId,
            QDir::tempPath() + QStringLiteral("/%1-unsaved-%2").arg(AppIdentity::appId).arg(::getuid())};
}

QString keep(const ScriptStore &store, const QStringList &folders, QString *error) {
    const QList<QUuid> unsavedList = store.unsavedScripts();
    const QSet<QUuid> unsaved(unsavedList.cbegin(), unsavedList.cend());
    const bool indexUnsaved = store.indexUnsaved();
    QJsonArray scripts;
    for (const Script &s : store.scripts()) {
        const bool withBody = unsaved.contains(s.id);
        if (!withBody && !indexUnsaved)
            continue;
        QJsonObject o = s.toJson();
        if (!withBody) {
            o.remove(QStringLiteral("body"));
            o.insert(bodyOnDiskKey, true);
        }
        scripts.append(o);
    }
    if (scripts.isEmpty())
        return QString();
    const QByteArray json = QJsonDocument(QJsonObject{
                                              {QStringLiteral("library"), canonical(store.root())},
                                              {QStringLiteral("keptAt"), IsoDate::toString(IsoDate::now())},
                                              {QStringLiteral("scripts"), scripts}})
                                .toJson(QJsonDocument::Indented);
    const QString name = QStringLiteral("unsaved-%1-%2.json")
                             .arg(IsoDate::stamp(IsoDate::now()))
                             .arg(::getpid());
    QString why;
    for (const QString &folder : folders) {
        const QString path = folder + QLatin1Char('/') + name;
        if (AtomicFile::makeFolder(folder, &why) && AtomicFile::write(path, json, &why)) {
            qCWarning(lcLibrary).noquote()
                << "kept" << scripts.size() << "unsaved scripts in" << path;
            return path;
        }
    }
    if (error)
        *error = why;
    return QString();
}

int adopt(ScriptStore &store, const QStringList &folders) {
    int restored = 0;
    const QString library = canonical(store.root());
    for (const QString &folder : folders) {
        const QDir dir(folder);
        for (const QString &name :
             dir.entryList({QStringLiteral("unsaved-*.json")}, QDir::Files, QDir::Name)) {
            const QString path = dir.filePath(name);
            const FileRead::Result read = FileRead::regular(path, maxCopyBytes);
            const QJsonObject copy =
                read.bytes ? QJsonDocument::fromJson(*read.bytes).object() : QJsonObject();
            if (copy.value(QStringLiteral("library")).toString() != library)
                continue; // another library's, or not a copy of ours
            const QJsonArray scripts = copy.value(QStringLiteral("scripts")).toArray();
            for (const QJsonValue &value : scripts) {
                QJsonObject o = value.toObject();
                const bool withBody = !o.value(bodyOnDiskKey).toBool();
                if (!withBody)
                    o.insert(QStringLiteral("body"), QString());
                QString why;
                if (const auto s = Script::fromJson(o, &why)) {
                    store.restore(*s, withBody);
                    ++restored;
                }
            }
            if (!store.hasUnsaved())
                QFile::remove(path);
        }
    }
    return restored;
}

QString notice(int restored) {
    return (restored == 1 ? QStringLiteral("1 script that")
                          : QStringLiteral("%1 scripts that").arg(restored)) +
           QStringLiteral(" could not be saved when Orvell last quit ") +
           (restored == 1 ? QStringLiteral("was") : QStringLiteral("were")) +
           QStringLiteral(" kept aside and ") + (restored == 1 ? QStringLiteral("is") : QStringLiteral("are")) +
           QStringLiteral(" back in the library.");
}

} // namespace UnsavedCopies

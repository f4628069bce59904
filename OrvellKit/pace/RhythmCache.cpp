#include "pace/RhythmCache.h"

#include "base/AppPaths.h"
#include "base/AtomicFile.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

RhythmCache RhythmCache::standard() {
    const QString root = AppPaths::applicationSupportRoot();
    return RhythmCache(root.isEmpty() ? QString() : root + QStringLiteral("/Rhythm"));
}

RhythmCache::RhythmCache(QString directory)
    : m_directory(std::move(directory)) {
    if (!m_directory.isEmpty())
        QDir().mkpath(m_directory);
}

QString RhythmCache::key(const QString &text, const QString &voice) {
    const QString material = QString::number(version) + QChar(0) + voice + QChar(0) + text;
    return QString::fromLatin1(
        QCryptographicHash::hash(material.toUtf8(), QCryptographicHash::Sha256).toHex());
}

std::optional<std::vector<WordRhythm>> RhythmCache::rhythm(const QString &key) {
    if (const auto it = m_memory.constFind(key); it != m_memory.cend())
        return *it;
    if (m_directory.isEmpty())
        return std::nullopt;
    QFile file(m_directory + QLatin1Char('/') + key + QStringLiteral(".json"));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll());
    if (!doc.isArray())
        return std::nullopt;
    std::vector<WordRhythm> rhythm;
    for (const QJsonValue &v : doc.array()) {
        const QJsonObject o = v.toObject();
        const QJsonValue speak = o.value(QStringLiteral("speak"));
        const QJsonValue pause = o.value(QStringLiteral("pauseAfter"));
        if (!speak.isDouble() || !pause.isDouble())
            return std::nullopt; // a malformed file is a plain miss
        rhythm.push_back({speak.toDouble(), pause.toDouble()});
    }
    m_memory.insert(key, rhythm);
    return rhythm;
}

void RhythmCache::store(const std::vector<WordRhythm> &rhythm, const QString &key) {
    m_memory.insert(key, rhythm);
    if (m_directory.isEmpty())
        return;
    QJsonArray array;
    for (const WordRhythm &r : rhythm)
        array.append(QJsonObject{{QStringLiteral("speak"), r.speak},
                                 {QStringLiteral("pauseAfter"), r.pauseAfter}});
    AtomicFile::write(m_directory + QLatin1Char('/') + key + QStringLiteral(".json"),
                      QJsonDocument(array).toJson(QJsonDocument::Compact), nullptr);
    prune();
}

void RhythmCache::prune() const {
    QFileInfoList files = QDir(m_directory).entryInfoList(QDir::Files, QDir::Unsorted);
    if (files.size() <= limit)
        return;
    // Oldest first; a file whose date cannot be read counts as the oldest.
    const auto age = [](const QFileInfo &f) {
        const QDateTime t = f.lastModified();
        return t.isValid() ? t.toMSecsSinceEpoch() : std::numeric_limits<qint64>::min();
    };
    std::stable_sort(files.begin(), files.end(),
                     [&](const QFileInfo &a, const QFileInfo &b) { return age(a) < age(b); });
    for (qsizetype i = 0; i < files.size() - limit; ++i) {
        if (!QFile::remove(files.at(i).absoluteFilePath()))
            return;
    }
}

#pragma once

#include "pace/PaceSchedule.h"

#include <QHash>
#include <QString>

#include <optional>
#include <vector>

// Measured rhythms by a digest of the text and the voice, in memory and in
// one small JSON file per key, so a script shown again with the same voice
// lights at once, also after a restart. Disk errors only make it forget.
class RhythmCache {
public:
    static constexpr int version = 2;
    static constexpr int limit = 200;

    // ~/.local/share/org.orvell.Orvell/Rhythm, or memory only without a data folder.
    static RhythmCache standard();
    // An empty directory keeps everything in memory.
    explicit RhythmCache(QString directory = QString());

    static QString key(const QString &text, const QString &voice);

    std::optional<std::vector<WordRhythm>> rhythm(const QString &key);
    void store(const std::vector<WordRhythm> &rhythm, const QString &key);

    const QString &directory() const { return m_directory; }

private:
    void prune() const;

    QString m_directory;
    QHash<QString, std::vector<WordRhythm>> m_memory;
};

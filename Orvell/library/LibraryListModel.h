#pragma once

#include "library/LibraryFilter.h"
#include "pace/PauseStyle.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QUuid>

#include <vector>

class AppEnvironment;

// What the library window's list column shows and does, without widgets:
// the filter, the sort (stored under "LibrarySort"), the search, the rows in
// their sections, the import status, and the actions that call the store.
class LibraryListModel : public QObject {
    Q_OBJECT

public:
    struct Row {
        bool isHeader = false;
        QString text;      // a section title, or a script's title
        QUuid id;          // the script's
        QString secondary; // "300 words · 2:00 at 150 wpm", or "Empty script"
        bool isFavorite = false;
        bool operator==(const Row &) const = default;
    };

    struct ImportStatus {
        enum class Kind { idle, working, done, failed };
        Kind kind = Kind::idle;
        QString text;
        // What the status line shows: "Importing talk.txt…", "Importing 1,234
        // of 10,000…", the summary, or the failure.
        QString line() const;
        bool operator==(const ImportStatus &) const = default;
    };

    explicit LibraryListModel(AppEnvironment &env, QObject *parent = nullptr);

    LibraryFilter filter() const { return m_filter; }
    void setFilter(LibraryFilter filter);
    LibrarySort sort() const;
    void setSort(LibrarySort sort);
    QString search() const { return m_search; }
    void setSearch(const QString &search);

    std::vector<Row> rows() const;
    // Shown instead of the list when no script is.
    QString emptyMessage() const;
    // "1 script", "12 scripts".
    QString countLine() const;
    // The secondary line of a row at the current speaking rate.
    QString secondaryLine(const Script &script) const;

    const ImportStatus &importStatus() const { return m_status; }
    // Imports the files the importers can read; false (nothing happens) when
    // none of them can be.
    bool importFiles(const QStringList &paths);
    // Stops the running import between files; what it added stays.
    void cancelImport();
    bool isImporting() const { return m_status.kind == ImportStatus::Kind::working; }

    // Creates "Untitled Script", selected; its id, for renaming it at once.
    QUuid newScript();

signals:
    void rowsChanged();
    void importStatusChanged();

private:
    void setStatus(ImportStatus status);
    // "1,234 of 10,000"
    static QString progressText(int handled, int total);

    double speakingRate() const;
    QString secondaryLine(const Script &script, double wordsPerMinute) const;
    // Each body folded for the search, kept between keystrokes.
    QString foldedBody(const Script &script) const;
    // How long a script takes with the pace guide: its target (within what
    // it allows) or its natural time.
    double pacedSeconds(const Script &script) const;

    AppEnvironment &m_env;
    mutable QHash<QUuid, std::pair<QString, QString>> m_folded;
    struct Paced {
        QString body;
        PauseStyle style;
        double natural;
        std::pair<double, double> range;
    };
    mutable QHash<QUuid, Paced> m_paced;
    LibraryFilter m_filter = LibraryFilter::all;
    QString m_search;
    ImportStatus m_status;
};

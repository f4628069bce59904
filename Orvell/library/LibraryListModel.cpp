#include "Orvell/library/LibraryListModel.h"

#include "Orvell/core/AppEnvironment.h"
#include "base/IsoDate.h"
#include "base/TextFold.h"
#include "import/ScriptImporter.h"
#include "pace/PaceSchedule.h"
#include "playback/ReadEstimate.h"
#include "text/ScriptWords.h"
#include "settings/PreferenceKeys.h"

#include <QFileInfo>
#include <QLocale>

QString LibraryListModel::ImportStatus::line() const {
    switch (kind) {
    case Kind::working:
        return QStringLiteral("Importing ") + text + QStringLiteral("\u2026");
    case Kind::done:
    case Kind::failed:
        return text;
    case Kind::idle:
        break;
    }
    return QString();
}

LibraryListModel::LibraryListModel(AppEnvironment &env, QObject *parent)
    : QObject(parent)
    , m_env(env) {
    // Re-build the rows whenever what they show changes.
    connect(&env.store(), &ScriptStore::scriptsChanged, this, &LibraryListModel::rowsChanged);
    connect(&env.store(), &ScriptStore::selectedIDChanged, this, &LibraryListModel::rowsChanged);
    connect(&env.scroll(), &ScrollEngine::tChanged, this, &LibraryListModel::rowsChanged);
    // With the pace guide on, a script takes its target time.
    ReadingPreferences &reading = env.prefs().reading();
    connect(&reading, &ReadingPreferences::paceGuideEnabledChanged, this,
            &LibraryListModel::rowsChanged);
    connect(&reading, &ReadingPreferences::pacePauseStyleChanged, this,
            &LibraryListModel::rowsChanged);
    connect(&env.pace(), &PaceGuide::rhythmStateChanged, this, &LibraryListModel::rowsChanged);
    ImportQueue &imports = env.imports();
    connect(&imports, &ImportQueue::started, this,
            [this](const QString &name) { setStatus({ImportStatus::Kind::working, name}); });
    connect(&imports, &ImportQueue::progress, this, [this](int handled, int total) {
        if (total > 1)
            setStatus({ImportStatus::Kind::working, progressText(handled, total)});
    });
    connect(&imports, &ImportQueue::finished, this, [this](const ImportQueue::Outcome &o) {
        if (o.problems.isEmpty()) {
            setStatus(o.summary.isEmpty() ? ImportStatus{}
                                          : ImportStatus{ImportStatus::Kind::done, o.summary});
            return;
        }
        // Some went in and some did not: both are said, the first refusal whole.
        QString text = o.summary;
        if (o.imported > 0)
            text += (o.problems.size() == 1
                         ? QStringLiteral(" 1 file was not imported: ")
                         : QStringLiteral(" %1 files were not imported, the first: ")
                               .arg(o.problems.size())) +
                    o.problems.first();
        setStatus({ImportStatus::Kind::failed, text});
    });
}

QString LibraryListModel::progressText(int handled, int total) {
    const QLocale locale;
    return QStringLiteral("%1 of %2").arg(locale.toString(handled), locale.toString(total));
}

void LibraryListModel::cancelImport() {
    m_env.imports().cancel();
}

void LibraryListModel::setFilter(LibraryFilter filter) {
    if (filter == m_filter)
        return;
    m_filter = filter;
    emit rowsChanged();
}

LibrarySort LibraryListModel::sort() const {
    return LibrarySorts::fromName(m_env.settings().stringValue(PreferenceKeys::librarySort));
}

void LibraryListModel::setSort(LibrarySort sort) {
    if (sort == this->sort() && m_env.settings().hasStoredValue(PreferenceKeys::librarySort))
        return;
    m_env.settings().setValue(PreferenceKeys::librarySort, LibrarySorts::names.name(sort));
    emit rowsChanged();
}

void LibraryListModel::setSearch(const QString &search) {
    if (search == m_search)
        return;
    m_search = search;
    emit rowsChanged();
}

QString LibraryListModel::countLine() const {
    const auto n = m_env.store().scripts().size();
    return n == 1 ? QStringLiteral("1 script") : QString::number(n) + QStringLiteral(" scripts");
}

QString LibraryListModel::secondaryLine(const Script &script) const {
    return secondaryLine(script, speakingRate());
}

double LibraryListModel::speakingRate() const {
    // The speed is a speaking rate: one figure for every script.
    return m_env.scroll().wordsPerMinute();
}

double LibraryListModel::pacedSeconds(const Script &script) const {
    // The script on the island: what the guide itself will take, its
    // measured rhythm included.
    if (m_env.store().selectedID() == script.id)
        return m_env.pace().pacedSeconds().value_or(0);
    const PauseStyle style = m_env.prefs().reading().pacePauseStyle();
    auto it = m_paced.find(script.id);
    if (it == m_paced.end() || it->body != script.body || it->style != style) {
        const ScriptWords words(script.body);
        it = m_paced.insert(script.id, {script.body, style,
                                        PaceSchedule::naturalSeconds(words, style, std::nullopt),
                                        PaceSchedule::allowedRange(words, style, std::nullopt)});
    }
    if (!script.targetSeconds)
        return it->natural;
    return std::clamp(*script.targetSeconds, it->range.first,
                      std::max(it->range.first, it->range.second));
}

QString LibraryListModel::secondaryLine(const Script &script, double wpm) const {
    const int words = script.id.isNull() ? script.wordCount() : m_env.store().wordCount(script.id);
    if (words == 0)
        return QStringLiteral("Empty script");
    const QString count =
        words == 1 ? QStringLiteral("1 word") : QString::number(words) + QStringLiteral(" words");
    if (m_env.prefs().reading().paceGuideEnabled() && !script.id.isNull()) {
        const double seconds = pacedSeconds(script);
        if (seconds > 0) {
            const ReadEstimate target = ReadEstimate::forDuration(words, seconds);
            return count + QStringLiteral(" \u00B7 target ") + target.formatted() +
                   QStringLiteral(" at ") + QString::number(target.roundedWordsPerMinute()) +
                   QStringLiteral(" wpm");
        }
    }
    if (!(wpm > 0))
        return count;
    return count + QStringLiteral(" \u00B7 ") +
           ReadEstimate::forDuration(words, words / wpm * 60).formatted() + QStringLiteral(" at ") +
           QString::number(qRound64(wpm)) + QStringLiteral(" wpm");
}

std::vector<LibraryListModel::Row> LibraryListModel::rows() const {
    std::vector<Row> out;
    const auto sections = ScriptSection::build(m_env.store().scripts(), m_filter, sort(), m_search,
                                               m_env.store().selectedID(), IsoDate::now(),
                                               QTimeZone::systemTimeZone(),
                                               [this](const Script &s) { return foldedBody(s); });
    const double wpm = speakingRate();
    for (const ScriptSection &section : sections) {
        if (section.title)
            out.push_back({true, *section.title, {}, {}, false});
        for (const Script &s : section.scripts)
            out.push_back({false, s.title, s.id, secondaryLine(s, wpm), s.isFavorite});
    }
    return out;
}

QString LibraryListModel::foldedBody(const Script &script) const {
    auto it = m_folded.find(script.id);
    // The same text (usually the very same shared string) folds the same.
    if (it == m_folded.end() || it->first != script.body)
        it = m_folded.insert(script.id, {script.body, TextFold::fold(script.body)});
    return it->second;
}

QString LibraryListModel::emptyMessage() const {
    switch (m_filter) {
    case LibraryFilter::all:
        return QStringLiteral("Create a script, or drop %1 here.")
            .arg(ScriptImporter::commonFormats());
    case LibraryFilter::favorites:
        return QStringLiteral("Star a script to keep it here.");
    case LibraryFilter::recent:
        return QStringLiteral("Scripts you edit this week appear here.");
    case LibraryFilter::onIsland:
        break;
    }
    return QStringLiteral("Select a script to show it on the island.");
}

void LibraryListModel::setStatus(ImportStatus status) {
    if (status == m_status)
        return;
    m_status = std::move(status);
    emit importStatusChanged();
}

bool LibraryListModel::importFiles(const QStringList &paths) {
    QStringList readable;
    for (const QString &path : paths) {
        // A folder is no script, except an RTFD document, which is one.
        const QFileInfo info(path);
        if (ScriptImporter::canImport(path) &&
            (!info.isDir() || ScriptImporter::extensionOf(path) == u"rtfd"))
            readable << path;
    }
    if (readable.isEmpty()) {
        // Refused, with the reason for the first of them.
        if (!paths.isEmpty()) {
            const QFileInfo first(paths.first());
            setStatus({ImportStatus::Kind::failed,
                       first.isDir()
                           ? QStringLiteral("\u201C") + first.fileName() +
                                 QStringLiteral("\u201D is a folder. Drop the files in it instead.")
                           : ScriptImportError{ScriptImportError::Kind::unsupportedFormat,
                                               ScriptImporter::extensionOf(paths.first())}
                                 .errorDescription()});
        }
        return false;
    }
    m_env.imports().import(readable); // the status follows the queue's signals
    return true;
}

QUuid LibraryListModel::newScript() {
    return m_env.store().create(untitledScriptTitle, QString(), true).id;
}

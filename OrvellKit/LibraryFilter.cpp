#include "LibraryFilter.h"

#include "TextFold.h"

#include <QCollator>
#include <QDateTime>
#include <QLocale>

#include <algorithm>

namespace LibraryFilters {

QList<LibraryFilter> allCases() {
    return {LibraryFilter::all, LibraryFilter::favorites, LibraryFilter::recent,
            LibraryFilter::onIsland};
}

QString rawValue(LibraryFilter filter) {
    switch (filter) {
    case LibraryFilter::favorites:
        return QStringLiteral("favorites");
    case LibraryFilter::recent:
        return QStringLiteral("recent");
    case LibraryFilter::onIsland:
        return QStringLiteral("onIsland");
    case LibraryFilter::all:
        break;
    }
    return QStringLiteral("all");
}

QString title(LibraryFilter filter) {
    switch (filter) {
    case LibraryFilter::favorites:
        return QStringLiteral("Favorites");
    case LibraryFilter::recent:
        return QStringLiteral("Recently Edited");
    case LibraryFilter::onIsland:
        return QStringLiteral("On the Island");
    case LibraryFilter::all:
        break;
    }
    return QStringLiteral("All Scripts");
}

QString systemImage(LibraryFilter filter) {
    switch (filter) {
    case LibraryFilter::favorites:
        return QStringLiteral("star.fill");
    case LibraryFilter::recent:
        return QStringLiteral("clock.fill");
    case LibraryFilter::onIsland:
        return QStringLiteral("rectangle.topthird.inset.filled");
    case LibraryFilter::all:
        break;
    }
    return QStringLiteral("doc.text.fill");
}

QString emptyMessage(LibraryFilter filter) {
    switch (filter) {
    case LibraryFilter::favorites:
        return QStringLiteral("Star a script to keep it here.");
    case LibraryFilter::recent:
        return QStringLiteral("Scripts you edit this week appear here.");
    case LibraryFilter::onIsland:
        return QStringLiteral("Select a script to show it on the island.");
    case LibraryFilter::all:
        break;
    }
    return QStringLiteral("Create a script, or drop a .txt, .md, .rtf or .docx file here.");
}

bool includes(LibraryFilter filter, const Script &script, const std::optional<QUuid> &selectedID,
              double now) {
    switch (filter) {
    case LibraryFilter::all:
        return true;
    case LibraryFilter::favorites:
        return script.isFavorite;
    case LibraryFilter::recent:
        return now - script.updatedAt < recentWindow;
    case LibraryFilter::onIsland:
        return selectedID == script.id;
    }
    return false;
}

} // namespace LibraryFilters

namespace LibrarySorts {

QList<LibrarySort> allCases() {
    return {LibrarySort::lastEdited, LibrarySort::title, LibrarySort::custom};
}

QString rawValue(LibrarySort sort) {
    switch (sort) {
    case LibrarySort::title:
        return QStringLiteral("title");
    case LibrarySort::custom:
        return QStringLiteral("custom");
    case LibrarySort::lastEdited:
        break;
    }
    return QStringLiteral("lastEdited");
}

QString title(LibrarySort sort) {
    switch (sort) {
    case LibrarySort::title:
        return QStringLiteral("Title");
    case LibrarySort::custom:
        return QStringLiteral("Custom Order");
    case LibrarySort::lastEdited:
        break;
    }
    return QStringLiteral("Last Edited");
}

LibrarySort fromRawValue(const QString &name) {
    if (name == QLatin1StringView("title"))
        return LibrarySort::title;
    if (name == QLatin1StringView("custom"))
        return LibrarySort::custom;
    return LibrarySort::lastEdited;
}

} // namespace LibrarySorts

std::vector<ScriptSection> ScriptSection::build(const std::vector<Script> &scripts,
                                                LibraryFilter filter, LibrarySort sort,
                                                const QString &search,
                                                const std::optional<QUuid> &selectedID, double now,
                                                const QTimeZone &zone) {
    const QString query = TextFold::fold(search.trimmed());
    std::vector<Script> kept;
    for (const Script &s : scripts) {
        if (!LibraryFilters::includes(filter, s, selectedID, now))
            continue;
        if (!query.isEmpty() && !TextFold::fold(s.title).contains(query) &&
            !TextFold::fold(s.body).contains(query))
            continue;
        kept.push_back(s);
    }

    switch (sort) {
    case LibrarySort::title: {
        QCollator collator;
        collator.setNumericMode(true);
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        std::stable_sort(kept.begin(), kept.end(), [&](const Script &a, const Script &b) {
            return collator.compare(a.title, b.title) < 0;
        });
        return {{QStringLiteral("all"), std::nullopt, std::move(kept)}};
    }
    case LibrarySort::custom:
        return {{QStringLiteral("all"), std::nullopt, std::move(kept)}};
    case LibrarySort::lastEdited:
        break;
    }

    std::stable_sort(kept.begin(), kept.end(),
                     [](const Script &a, const Script &b) { return a.updatedAt > b.updatedAt; });
    std::vector<ScriptSection> sections;
    int year = 0, month = 0;
    for (Script &s : kept) {
        const QDate date =
            QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(s.updatedAt * 1000), zone).date();
        if (sections.empty() || date.year() != year || date.month() != month) {
            year = date.year();
            month = date.month();
            const QString heading =
                QLocale().toString(QDate(year, month, 1), QStringLiteral("MMMM yyyy"));
            sections.push_back(
                {QStringLiteral("%1-%2").arg(year).arg(month), QLocale().toUpper(heading), {}});
        }
        sections.back().scripts.push_back(std::move(s));
    }
    return sections;
}

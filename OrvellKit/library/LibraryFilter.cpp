#include "library/LibraryFilter.h"

#include "base/TextFold.h"

#include <QCollator>
#include <QDateTime>
#include <QLocale>

#include <algorithm>

namespace LibraryFilters {

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

std::vector<ScriptSection>
ScriptSection::build(const std::vector<Script> &scripts, LibraryFilter filter, LibrarySort sort,
                     const QString &search, const std::optional<QUuid> &selectedID, double now,
                     const QTimeZone &zone,
                     const std::function<QString(const Script &)> &foldedBody) {
    const QString query = TextFold::fold(search.trimmed());
    std::vector<Script> kept;
    for (const Script &s : scripts) {
        if (!LibraryFilters::includes(filter, s, selectedID, now))
            continue;
        if (!query.isEmpty() && !TextFold::fold(s.title).contains(query) &&
            !(foldedBody ? foldedBody(s) : TextFold::fold(s.body)).contains(query))
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

#pragma once

#include "base/EnumNames.h"
#include "library/Script.h"

#include <QList>
#include <QString>
#include <QTimeZone>
#include <QUuid>

#include <functional>
#include <optional>
#include <vector>

// The library window's sidebar filters.
enum class LibraryFilter { all, favorites, recent, onIsland };

namespace LibraryFilters {
// Scripts edited less than this long ago count as recent.
inline constexpr double recentWindow = 604800;

inline constexpr EnumName<LibraryFilter> rows[] = {
    {LibraryFilter::all, "all", "All Scripts"},
    {LibraryFilter::favorites, "favorites", "Favorites"},
    {LibraryFilter::recent, "recent", "Recently Edited"},
    {LibraryFilter::onIsland, "onIsland", "On the Island"},
};
inline constexpr EnumNames names{rows};
bool includes(LibraryFilter filter, const Script &script, const std::optional<QUuid> &selectedID,
              double now);
} // namespace LibraryFilters

enum class LibrarySort { lastEdited, title, custom };

namespace LibrarySorts {
inline constexpr EnumName<LibrarySort> rows[] = {
    {LibrarySort::lastEdited, "lastEdited", "Last Edited"},
    {LibrarySort::title, "title", "Title"},
    {LibrarySort::custom, "custom", "Custom Order"},
};
inline constexpr EnumNames names{rows};
// Unknown names read as lastEdited.
inline LibrarySort fromName(const QString &name) {
    return names.parse(name).value_or(LibrarySort::lastEdited);
}
} // namespace LibrarySorts

// One titled group of the script list.
struct ScriptSection {
    QString id;
    std::optional<QString> title;
    std::vector<Script> scripts;

    // Filters, searches (ignoring case and accents) and sorts the scripts,
    // given in custom order, into the sections the list shows. Months are
    // taken in `zone`; month titles use the user's locale.
    // `foldedBody`, when given, answers a script's body folded (a holder that
    // keeps them folded between keystrokes).
    static std::vector<ScriptSection>
    build(const std::vector<Script> &scripts, LibraryFilter filter, LibrarySort sort,
          const QString &search, const std::optional<QUuid> &selectedID, double now,
          const QTimeZone &zone = QTimeZone::systemTimeZone(),
          const std::function<QString(const Script &)> &foldedBody = {});
};

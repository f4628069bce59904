#pragma once

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

QList<LibraryFilter> allCases();
QString rawValue(LibraryFilter filter);
QString title(LibraryFilter filter);
QString systemImage(LibraryFilter filter);
QString emptyMessage(LibraryFilter filter);
bool includes(LibraryFilter filter, const Script &script, const std::optional<QUuid> &selectedID,
              double now);
} // namespace LibraryFilters

enum class LibrarySort { lastEdited, title, custom };

namespace LibrarySorts {
QList<LibrarySort> allCases();
QString rawValue(LibrarySort sort);
QString title(LibrarySort sort);
// Unknown names read as lastEdited.
LibrarySort fromRawValue(const QString &name);
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

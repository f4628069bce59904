#include "library/LibraryFilter.h"

#include "support/QtPrinters.h"

#include <QLocale>

#include <gtest/gtest.h>

namespace {

constexpr double now = 1767621792; // 2026-01-05 14:03:12 UTC

Script script(const char *title, double updatedAt, const char *body = "") {
    return {
        QUuid::createUuid(), QString::fromUtf8(title), QString::fromUtf8(body), 0, updatedAt, false,
        std::nullopt};
}

QStringList titlesOf(const std::vector<ScriptSection> &sections) {
    QStringList titles;
    for (const auto &section : sections)
        for (const Script &s : section.scripts)
            titles << s.title;
    return titles;
}

} // namespace

TEST(LibraryFilter, recentWindowIsStrictAndFutureDatesCount) {
    const Script weekOld = script("old", now - 604800);
    const Script almost = script("almost", now - 604799);
    const Script future = script("future", now + 3600);
    using namespace LibraryFilters;
    EXPECT_FALSE(includes(LibraryFilter::recent, weekOld, std::nullopt, now));
    EXPECT_TRUE(includes(LibraryFilter::recent, almost, std::nullopt, now));
    EXPECT_TRUE(includes(LibraryFilter::recent, future, std::nullopt, now));
    EXPECT_TRUE(includes(LibraryFilter::onIsland, almost, almost.id, now));
    EXPECT_FALSE(includes(LibraryFilter::onIsland, almost, std::nullopt, now));
    EXPECT_EQ(names.title(LibraryFilter::onIsland), "On the Island");
    EXPECT_EQ(LibrarySorts::fromName("custom"), LibrarySort::custom);
    EXPECT_EQ(LibrarySorts::fromName("sideways"), LibrarySort::lastEdited);
}

TEST(ScriptSection, searchIgnoresCaseAccentsAndBlankQueries) {
    const std::vector<Script> scripts = {script("Menu", now, "Coffee at the CAFE"),
                                         script("Other", now, "nothing here"),
                                         script("Caf\u00e9 notes", now)};
    const auto found = ScriptSection::build(scripts, LibraryFilter::all, LibrarySort::custom,
                                            QString::fromUtf8(" caf\u00e9 "), std::nullopt, now);
    EXPECT_EQ(titlesOf(found), (QStringList{"Menu", "Caf\u00e9 notes"}));
    const auto blank = ScriptSection::build(scripts, LibraryFilter::all, LibrarySort::custom, "   ",
                                            std::nullopt, now);
    EXPECT_EQ(titlesOf(blank).size(), 3);
}

TEST(ScriptSection, sortsAndSections) {
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const double january = 1768000000; // 2026-01-09
    const double march = 1773000000;   // 2026-03-08
    const std::vector<Script> scripts = {script("item 10", january), script("Item 9", march),
                                         script("apple", january + 10)};
    const auto byTitle = ScriptSection::build(scripts, LibraryFilter::all, LibrarySort::title, "",
                                              std::nullopt, now);
    ASSERT_EQ(byTitle.size(), 1u);
    EXPECT_EQ(byTitle[0].id, "all");
    EXPECT_EQ(titlesOf(byTitle), (QStringList{"apple", "Item 9", "item 10"}));

    const auto byDate = ScriptSection::build(scripts, LibraryFilter::all, LibrarySort::lastEdited,
                                             "", std::nullopt, now, QTimeZone::utc());
    ASSERT_EQ(byDate.size(), 2u);
    EXPECT_EQ(byDate[0].id, "2026-3");
    EXPECT_EQ(byDate[0].title, "MARCH 2026");
    EXPECT_EQ(byDate[1].id, "2026-1");
    EXPECT_EQ(titlesOf({byDate[1]}), (QStringList{"apple", "item 10"}));

    const auto none = [&](LibrarySort sort) {
        return ScriptSection::build(scripts, LibraryFilter::favorites, sort, "", std::nullopt, now);
    };
    EXPECT_EQ(none(LibrarySort::custom).size(), 1u);
    EXPECT_EQ(none(LibrarySort::title).size(), 1u);
    EXPECT_TRUE(none(LibrarySort::lastEdited).empty());
    QLocale::setDefault(before);
}

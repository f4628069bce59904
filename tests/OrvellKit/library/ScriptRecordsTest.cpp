#include "base/IsoDate.h"
#include "library/ScriptManifest.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

Script makeScript(const char *title, double createdAt, const QString &body = QString()) {
    return {QUuid::createUuid(), QString::fromUtf8(title), body, createdAt, createdAt, false,
            std::nullopt};
}

QUuid fixedId(int n) {
    return QUuid(QStringLiteral("%1-0000-4000-8000-00000000000a").arg(n, 8, 10, QLatin1Char('0')));
}

} // namespace

TEST(ScriptTitles, derivedTitleTakesTheFirstLineWithoutMarkdownMarkers) {
    EXPECT_EQ(Script::derivedTitle("\n\n# Welcome back   \nmore", "F"), "Welcome back");
    EXPECT_EQ(Script::derivedTitle("---\nReal text", "F"), "F");
    EXPECT_EQ(Script::derivedTitle("", "F"), "F");
    EXPECT_EQ(Script::derivedTitle(" \t\u3000\n  \n", "F"), "F");
    EXPECT_EQ(Script::derivedTitle(QString(200, QLatin1Char('a')), "F"), QString(80, 'a'));
    EXPECT_EQ(Script::derivedTitle("> **Quote** _\n", "F"), "Quote");
    // A Windows line ending never reaches the title.
    EXPECT_EQ(Script::derivedTitle("Intro\r\nSecond", "F"), "Intro");
}

TEST(ScriptTitles, titlesCountUserPerceivedCharacters) {
    QString flags;
    for (int i = 0; i < 100; ++i)
        flags += QString::fromUtf8("\U0001F1EB\U0001F1F7"); // one flag, four UTF-16 units
    const QString title = Script::derivedTitle(flags, "F");
    EXPECT_EQ(title.size(), 80 * 4);
    QString accents;
    for (int i = 0; i < 90; ++i)
        accents += QString::fromUtf8("e\u0301");
    EXPECT_EQ(Script::sanitizedTitle(accents, QString()).size(), 160);
}

TEST(ScriptTitles, sanitizedTitleTrimsOrFallsBackToTheBody) {
    EXPECT_EQ(Script::sanitizedTitle("   Keynote  ", "body"), "Keynote");
    EXPECT_EQ(Script::sanitizedTitle(" \n ", ""), "Untitled Script");
    EXPECT_EQ(Script::sanitizedTitle("", "## Launch plan\nText"), "Launch plan");
    EXPECT_EQ(Script::sanitizedTitle(QString(100, 'x'), ""), QString(80, 'x'));
}

TEST(ScriptRecords, wordCountAndJsonRoundTrip) {
    Script s = makeScript("T", 1767621792.5, "one  two\nthree\t");
    s.targetSeconds = 90;
    EXPECT_EQ(s.wordCount(), 3);
    QString error;
    EXPECT_EQ(Script::fromJson(s.toJson(), &error), s) << error.toStdString();
    s.targetSeconds.reset();
    EXPECT_FALSE(s.toJson().contains("targetSeconds"));
    QJsonObject broken = s.toJson();
    broken.remove("body");
    EXPECT_EQ(Script::fromJson(broken, &error), std::nullopt);
}

TEST(ScriptManifest, normalizeRepairsOrderAndSelection) {
    const Script a = makeScript("A", 300), b = makeScript("B", 200), c = makeScript("C", 100),
                 d = makeScript("D", 50);
    ScriptManifest m;
    m.entries = {ScriptEntry::from(a), ScriptEntry::from(b), ScriptEntry::from(c),
                 ScriptEntry::from(d)};
    const QUuid x = QUuid::createUuid();
    m.order = {b.id, a.id, b.id, x};
    m.selectedID = x;
    m.normalize();
    EXPECT_EQ(m.order, (QList<QUuid>{b.id, a.id, d.id, c.id}));
    EXPECT_EQ(m.selectedID, b.id);

    ScriptManifest empty;
    empty.selectedID = x;
    empty.normalize();
    EXPECT_EQ(empty.selectedID, std::nullopt);
}

TEST(ScriptManifest, insertReplacesAndClampsAndReorderNormalizes) {
    const Script a = makeScript("A", 1), b = makeScript("B", 2), c = makeScript("C", 3);
    ScriptManifest m({a, b, c}, std::nullopt);
    EXPECT_EQ(m.selectedID, a.id);
    const Script n = makeScript("N", 4);
    m.insert(ScriptEntry::from(n), 99);
    EXPECT_EQ(m.order.last(), n.id);

    Script renamed = a;
    renamed.title = "A2";
    m.insert(ScriptEntry::from(renamed), 2);
    EXPECT_EQ(m.order, (QList<QUuid>{b.id, c.id, a.id, n.id}));
    EXPECT_EQ(m.entries.size(), 4u);
    EXPECT_EQ(m.ordered()[2].title, "A2");

    m.reorder({n.id, n.id});
    EXPECT_EQ(m.order, (QList<QUuid>{n.id, a.id, b.id, c.id}));
}

TEST(ScriptManifest, writerFormatIsSortedPrettyAndUpperCase) {
    Script s{fixedId(1), "Intro", "Hello there", 0, 1767621792.345, true, 120};
    ScriptManifest m({s}, std::nullopt);
    const QByteArray expected = R"({
    "entries": [
        {
            "createdAt": "1970-01-01T00:00:00.000Z",
            "id": "00000001-0000-4000-8000-00000000000A",
            "isFavorite": true,
            "targetSeconds": 120,
            "title": "Intro",
            "updatedAt": "2026-01-05T14:03:12.345Z",
            "wordCount": 2
        }
    ],
    "order": [
        "00000001-0000-4000-8000-00000000000A"
    ],
    "selectedID": "00000001-0000-4000-8000-00000000000A",
    "version": 1
}
)";
    EXPECT_EQ(m.toJson(), expected);

    s.targetSeconds.reset();
    ScriptManifest none({s}, std::nullopt);
    none.selectedID.reset();
    const QByteArray json = none.toJson();
    EXPECT_FALSE(json.contains("targetSeconds"));
    EXPECT_FALSE(json.contains("selectedID"));
    QString error;
    EXPECT_EQ(ScriptManifest::fromJson(json, &error), none) << error.toStdString();
}

TEST(ScriptManifest, readerDefaultsAndRequiredMembers) {
    QString error;
    const auto minimal = ScriptManifest::fromJson(R"({"entries": [
        {"id": "00000002-0000-4000-8000-00000000000a", "title": "B",
         "createdAt": "2026-01-02T00:00:00Z", "updatedAt": "2026-01-02T00:00:00.5Z", "wordCount": 3},
        {"id": "00000001-0000-4000-8000-00000000000A", "title": "A", "extra": [1],
         "createdAt": "2026-01-01T00:00:00+01:00", "updatedAt": "2026-01-01T00:00:00Z", "wordCount": 1}
    ]})",
                                                  &error);
    ASSERT_TRUE(minimal) << error.toStdString();
    EXPECT_EQ(minimal->version, 1);
    EXPECT_TRUE(minimal->order.isEmpty());
    EXPECT_EQ(minimal->selectedID, std::nullopt);
    EXPECT_FALSE(minimal->entries[0].isFavorite);
    EXPECT_EQ(minimal->entries[1].createdAt, *IsoDate::fromString("2025-12-31T23:00:00Z"));
    ScriptManifest normalized = *minimal;
    normalized.normalize();
    EXPECT_EQ(normalized.order, (QList<QUuid>{fixedId(1), fixedId(2)}));

    const auto failsWith = [](const QByteArray &json) {
        QString why;
        EXPECT_EQ(ScriptManifest::fromJson(json, &why), std::nullopt) << json.toStdString();
        return why;
    };
    EXPECT_EQ(
        failsWith(
            R"({"entries":[{"id":"00000001-0000-4000-8000-00000000000A","title":"A",)"
            R"("createdAt":"2026-01-05","updatedAt":"2026-01-05T00:00:00Z","wordCount":1}]})"),
        "Not an ISO-8601 date: 2026-01-05");
    failsWith("{");
    failsWith(R"({"order": []})");
    failsWith(R"({"entries":[{"id":"00000001-0000-4000-8000-00000000000A","title":"A",)"
              R"("createdAt":"2026-01-05T00:00:00Z","updatedAt":"2026-01-05T00:00:00Z"}]})");
    failsWith(R"({"entries":[{"id":"not-an-id","title":"A","createdAt":"2026-01-05T00:00:00Z",)"
              R"("updatedAt":"2026-01-05T00:00:00Z","wordCount":1}]})");
}

#pragma once

#include <QJsonObject>
#include <QString>
#include <QUuid>

#include <optional>

// A complete script held in memory, text included. Dates are seconds since
// the Unix epoch.
struct Script {
    static constexpr int maxTitleLength = 80;
    // Far beyond any speech (three hours are some 30,000 words, 200,000
    // characters), and still laid out in well under a second.
    static constexpr qsizetype maxCharacters = 1'000'000;

    QUuid id;
    QString title;
    QString body;
    double createdAt = 0;
    double updatedAt = 0;
    bool isFavorite = false;
    std::optional<double> targetSeconds;

    // Runs of characters that are neither white space nor line breaks.
    int wordCount() const;

    // The first non-blank line of a body without its Markdown markers, cut
    // to 80 characters; `fallback` when there is none.
    static QString derivedTitle(const QString &body, const QString &fallback);
    // A proposed title trimmed and cut to 80 characters; when blank, the
    // body's derived title or "Untitled Script".
    static QString sanitizedTitle(const QString &title, const QString &fallbackBody);
    // The first `count` user-perceived characters (grapheme clusters).
    static QString leftCharacters(const QString &text, int count);

    // The id as stored: 36 characters, upper case, hyphenated.
    static QString idText(const QUuid &id);
    // Either letter case; nothing for text that is not a hyphenated UUID.
    static std::optional<QUuid> parseId(QStringView text);

    QJsonObject toJson() const;
    static std::optional<Script> fromJson(const QJsonObject &json, QString *error);

    bool operator==(const Script &) const = default;
};

inline const QString untitledScriptTitle = QStringLiteral("Untitled Script");

#include "library/Script.h"

#include "base/IsoDate.h"
#include "playback/ReadEstimate.h"

#include <QJsonValue>
#include <QTextBoundaryFinder>

namespace {

// Blanks are spaces of any width and tabs; a carriage return left over from
// a Windows line ending counts as one too, so it never ends up in a title.
bool isBlank(QChar c) {
    return c == u'\t' || c == u'\r' || c.category() == QChar::Separator_Space;
}

QStringView trimBlanks(QStringView s) {
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && isBlank(s.at(begin)))
        ++begin;
    while (end > begin && isBlank(s.at(end - 1)))
        --end;
    return s.mid(begin, end - begin);
}

QStringView trimMarkers(QStringView s) {
    static const QString markers = QStringLiteral("#>*_-= \t");
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && markers.contains(s.at(begin)))
        ++begin;
    while (end > begin && markers.contains(s.at(end - 1)))
        --end;
    return s.mid(begin, end - begin);
}

} // namespace

int Script::wordCount() const {
    return ReadEstimate::wordCountOf(body);
}

QString Script::leftCharacters(const QString &text, int count) {
    if (text.size() <= count)
        return text;
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
    int seen = 0;
    for (qsizetype at = graphemes.toNextBoundary(); at != -1; at = graphemes.toNextBoundary()) {
        if (++seen == count)
            return text.left(at);
    }
    return text;
}

QString Script::derivedTitle(const QString &body, const QString &fallback) {
    for (QStringView line : QStringView(body).split(u'\n')) {
        const QStringView content = trimBlanks(line);
        if (content.isEmpty())
            continue;
        const QStringView title = trimMarkers(content);
        return title.isEmpty() ? fallback : leftCharacters(title.toString(), maxTitleLength);
    }
    return fallback;
}

QString Script::sanitizedTitle(const QString &title, const QString &fallbackBody) {
    const QString trimmed = title.trimmed();
    if (trimmed.isEmpty())
        return derivedTitle(fallbackBody, untitledScriptTitle);
    return leftCharacters(trimmed, maxTitleLength);
}

QString Script::idText(const QUuid &id) {
    return id.toString(QUuid::WithoutBraces).toUpper();
}

std::optional<QUuid> Script::parseId(QStringView text) {
    if (text.size() != 36 || text.at(8) != u'-' || text.at(13) != u'-' || text.at(18) != u'-' ||
        text.at(23) != u'-')
        return std::nullopt;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        const bool hex =
            (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
        if (!hex && !(i == 8 || i == 13 || i == 18 || i == 23))
            return std::nullopt;
    }
    return QUuid::fromString(text);
}

QJsonObject Script::toJson() const {
    QJsonObject o{{QStringLiteral("id"), idText(id)},
                  {QStringLiteral("title"), title},
                  {QStringLiteral("body"), body},
                  {QStringLiteral("createdAt"), IsoDate::toString(createdAt)},
                  {QStringLiteral("updatedAt"), IsoDate::toString(updatedAt)},
                  {QStringLiteral("isFavorite"), isFavorite}};
    if (targetSeconds)
        o.insert(QStringLiteral("targetSeconds"), *targetSeconds);
    return o;
}

std::optional<Script> Script::fromJson(const QJsonObject &o, QString *error) {
    const auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return std::nullopt;
    };
    Script s;
    const auto id = parseId(o.value(QStringLiteral("id")).toString());
    if (!id)
        return fail(QStringLiteral("Missing or malformed \"id\""));
    s.id = *id;
    for (const char *key : {"title", "body"}) {
        if (!o.value(QLatin1StringView(key)).isString())
            return fail(QStringLiteral("Missing \"%1\"").arg(QLatin1StringView(key)));
    }
    s.title = o.value(QStringLiteral("title")).toString();
    s.body = o.value(QStringLiteral("body")).toString();
    for (const char *key : {"createdAt", "updatedAt"}) {
        const QString text = o.value(QLatin1StringView(key)).toString();
        const auto date = IsoDate::fromString(text);
        if (!date)
            return fail(QStringLiteral("Not an ISO-8601 date: ") + text);
        (key[0] == 'c' ? s.createdAt : s.updatedAt) = *date;
    }
    if (!o.value(QStringLiteral("isFavorite")).isBool())
        return fail(QStringLiteral("Missing \"isFavorite\""));
    s.isFavorite = o.value(QStringLiteral("isFavorite")).toBool();
    const QJsonValue target = o.value(QStringLiteral("targetSeconds"));
    if (target.isDouble())
        s.targetSeconds = target.toDouble();
    else if (!target.isUndefined() && !target.isNull())
        return fail(QStringLiteral("\"targetSeconds\" is not a number"));
    return s;
}

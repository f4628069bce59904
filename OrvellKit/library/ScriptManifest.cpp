#include "library/ScriptManifest.h"

#include "base/IsoDate.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <algorithm>
#include <cmath>

ScriptManifest::ScriptManifest(const std::vector<Script> &scripts, std::optional<QUuid> selected,
                               const std::function<int(const Script &)> &wordCount) {
    order.reserve(static_cast<qsizetype>(scripts.size()));
    entries.reserve(scripts.size());
    for (const Script &s : scripts) {
        order.append(s.id);
        ScriptEntry entry = ScriptEntry::from(s, wordCount ? wordCount(s) : s.wordCount());
        entries.push_back(std::move(entry));
    }
    selectedID = selected;
    if (!selectedID && !scripts.empty())
        selectedID = scripts.front().id;
}

std::vector<ScriptEntry> ScriptManifest::ordered() const {
    QHash<QUuid, const ScriptEntry *> byId;
    byId.reserve(static_cast<qsizetype>(entries.size()));
    for (const ScriptEntry &e : entries)
        byId.insert(e.id, &e);
    std::vector<ScriptEntry> result;
    result.reserve(entries.size());
    for (const QUuid &id : order) {
        if (const ScriptEntry *e = byId.value(id))
            result.push_back(*e);
    }
    return result;
}

void ScriptManifest::normalize() {
    QSet<QUuid> ids;
    for (const ScriptEntry &e : entries)
        ids.insert(e.id);

    QList<QUuid> rebuilt;
    QSet<QUuid> seen;
    for (const QUuid &id : std::as_const(order)) {
        if (ids.contains(id) && !seen.contains(id)) {
            rebuilt.append(id);
            seen.insert(id);
        }
    }
    std::vector<const ScriptEntry *> missing;
    for (const ScriptEntry &e : entries) {
        if (!seen.contains(e.id))
            missing.push_back(&e);
    }
    std::stable_sort(missing.begin(), missing.end(),
                     [](const auto *a, const auto *b) { return a->createdAt < b->createdAt; });
    for (const ScriptEntry *e : missing) {
        // Two entries may share an id in a hand-edited file; list it once.
        if (!seen.contains(e->id)) {
            rebuilt.append(e->id);
            seen.insert(e->id);
        }
    }
    order = rebuilt;
    if (!selectedID || !ids.contains(*selectedID))
        selectedID = order.isEmpty() ? std::nullopt : std::optional<QUuid>(order.first());
}

void ScriptManifest::insert(const ScriptEntry &entry, qsizetype index) {
    std::erase_if(entries, [&](const ScriptEntry &e) { return e.id == entry.id; });
    order.removeAll(entry.id);
    entries.push_back(entry);
    order.insert(std::clamp<qsizetype>(index, 0, order.size()), entry.id);
}

void ScriptManifest::reorder(const QList<QUuid> &ids) {
    order = ids;
    normalize();
}

namespace {

const QSet<QString> &knownEntryKeys() {
    static const QSet<QString> keys = {"id",        "title",      "createdAt",    "updatedAt",
                                       "wordCount", "isFavorite", "targetSeconds"};
    return keys;
}

const QSet<QString> &knownTopKeys() {
    static const QSet<QString> keys = {"version", "order", "selectedID", "entries"};
    return keys;
}

} // namespace

QByteArray ScriptManifest::toJson() const {
    QJsonArray entryArray;
    for (const ScriptEntry &e : entries) {
        QJsonObject o = e.extra;
        for (const auto &[key, value] :
             {std::pair<QString, QJsonValue>{QStringLiteral("id"), Script::idText(e.id)},
              {QStringLiteral("title"), e.title},
              {QStringLiteral("createdAt"), IsoDate::toString(e.createdAt)},
              {QStringLiteral("updatedAt"), IsoDate::toString(e.updatedAt)},
              {QStringLiteral("wordCount"), e.wordCount},
              {QStringLiteral("isFavorite"), e.isFavorite}})
            o.insert(key, value);
        o.remove(QStringLiteral("targetSeconds"));
        if (e.targetSeconds)
            o.insert(QStringLiteral("targetSeconds"), *e.targetSeconds);
        entryArray.append(o);
    }
    QJsonArray orderArray;
    for (const QUuid &id : order)
        orderArray.append(Script::idText(id));
    // QJsonObject keeps its keys sorted, which gives the stored key order.
    QJsonObject root = extra;
    root.insert(QStringLiteral("version"), version);
    root.insert(QStringLiteral("order"), orderArray);
    root.insert(QStringLiteral("entries"), entryArray);
    root.remove(QStringLiteral("selectedID"));
    if (selectedID)
        root.insert(QStringLiteral("selectedID"), Script::idText(*selectedID));
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

namespace {

bool isInteger(const QJsonValue &v) {
    if (!v.isDouble())
        return false;
    const double d = v.toDouble();
    return std::isfinite(d) && d == std::trunc(d) && std::fabs(d) < 2147483648.0;
}

} // namespace

std::optional<ScriptManifest> ScriptManifest::fromJson(const QByteArray &json, QString *error) {
    const auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return std::nullopt;
    };
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return fail(parseError.errorString());
    if (!doc.isObject())
        return fail(QStringLiteral("The index is not a JSON object"));
    const QJsonObject root = doc.object();

    ScriptManifest m;
    const QJsonValue version = root.value(QStringLiteral("version"));
    if (!version.isUndefined()) {
        if (!isInteger(version))
            return fail(QStringLiteral("\"version\" is not an integer"));
        m.version = version.toInt();
    }

    const auto readId = [](const QJsonValue &v) -> std::optional<QUuid> {
        return v.isString() ? Script::parseId(v.toString()) : std::nullopt;
    };
    const QJsonValue order = root.value(QStringLiteral("order"));
    if (!order.isUndefined()) {
        if (!order.isArray())
            return fail(QStringLiteral("\"order\" is not a list"));
        for (const QJsonValue &v : order.toArray()) {
            const auto id = readId(v);
            if (!id)
                return fail(QStringLiteral("\"order\" holds something that is not an id"));
            m.order.append(*id);
        }
    }
    const QJsonValue selected = root.value(QStringLiteral("selectedID"));
    if (!selected.isUndefined() && !selected.isNull()) {
        m.selectedID = readId(selected);
        if (!m.selectedID)
            return fail(QStringLiteral("\"selectedID\" is not an id"));
    }

    const QJsonValue entries = root.value(QStringLiteral("entries"));
    if (!entries.isArray())
        return fail(QStringLiteral("No \"entries\" list"));
    for (const QJsonValue &v : entries.toArray()) {
        if (!v.isObject())
            return fail(QStringLiteral("An entry is not an object"));
        const QJsonObject o = v.toObject();
        ScriptEntry e;
        const auto id = readId(o.value(QStringLiteral("id")));
        if (!id)
            return fail(QStringLiteral("An entry has no valid \"id\""));
        e.id = *id;
        if (!o.value(QStringLiteral("title")).isString())
            return fail(QStringLiteral("An entry has no \"title\""));
        e.title = o.value(QStringLiteral("title")).toString();
        for (const char *key : {"createdAt", "updatedAt"}) {
            const QJsonValue date = o.value(QLatin1StringView(key));
            if (!date.isString())
                return fail(QStringLiteral("An entry has no \"%1\"").arg(QLatin1StringView(key)));
            const auto seconds = IsoDate::fromString(date.toString());
            if (!seconds)
                return fail(QStringLiteral("Not an ISO-8601 date: ") + date.toString());
            (key[0] == 'c' ? e.createdAt : e.updatedAt) = *seconds;
        }
        if (!isInteger(o.value(QStringLiteral("wordCount"))))
            return fail(QStringLiteral("An entry has no \"wordCount\""));
        e.wordCount = o.value(QStringLiteral("wordCount")).toInt();
        const QJsonValue favorite = o.value(QStringLiteral("isFavorite"));
        if (favorite.isBool())
            e.isFavorite = favorite.toBool();
        else if (!favorite.isUndefined() && !favorite.isNull())
            return fail(QStringLiteral("\"isFavorite\" is not true or false"));
        const QJsonValue target = o.value(QStringLiteral("targetSeconds"));
        if (target.isDouble())
            e.targetSeconds = target.toDouble();
        else if (!target.isUndefined() && !target.isNull())
            return fail(QStringLiteral("\"targetSeconds\" is not a number"));
        for (auto it = o.begin(); it != o.end(); ++it)
            if (!knownEntryKeys().contains(it.key()))
                e.extra.insert(it.key(), it.value());
        m.entries.push_back(std::move(e));
    }
    for (auto it = root.begin(); it != root.end(); ++it)
        if (!knownTopKeys().contains(it.key()))
            m.extra.insert(it.key(), it.value());
    return m;
}

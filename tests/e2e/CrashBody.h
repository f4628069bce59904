#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Script bodies that say their own version and length, so a test can tell a
// complete body from a torn or mixed one.
namespace CrashBody {

inline QString make(int version, int tokens) {
    return QStringLiteral("v=%1 n=%2\n").arg(version).arg(tokens) +
           QStringLiteral("x%1 ").arg(version).repeated(tokens) + QStringLiteral("\nend");
}

// The version of a complete body; nothing for a torn or foreign one.
inline std::optional<int> version(const QString &body) {
    const qsizetype eol = body.indexOf(QLatin1Char('\n'));
    if (!body.startsWith(QStringLiteral("v=")) || eol < 0)
        return std::nullopt;
    const QStringList header = body.left(eol).split(QLatin1Char(' '));
    bool okVersion = false, okTokens = false;
    const int v = header.value(0).mid(2).toInt(&okVersion);
    const int n = header.value(1).mid(2).toInt(&okTokens);
    if (!okVersion || !okTokens || body != make(v, n))
        return std::nullopt;
    return v;
}

} // namespace CrashBody

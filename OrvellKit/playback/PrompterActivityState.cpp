#include "playback/PrompterActivityState.h"

#include "base/DurationFormat.h"

#include <QDateTime>
#include <QHashFunctions>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>

#include <algorithm>
#include <cmath>

PrompterActivityState PrompterActivityState::derive(bool isPlaying, double elapsed, double progress,
                                                    bool voiceFollowOn, double now) {
    const double e = std::isfinite(elapsed) ? std::max(0.0, elapsed) : 0;
    const double p = std::isfinite(progress) ? std::clamp(progress, 0.0, 1.0) : 0;
    return {isPlaying, now - e, e, p, voiceFollowOn};
}

double PrompterActivityState::referenceDateNow() {
    static const qint64 referenceMs =
        QDateTime(QDate(2001, 1, 1), QTime(0, 0), QTimeZone::utc()).toMSecsSinceEpoch();
    return (QDateTime::currentMSecsSinceEpoch() - referenceMs) / 1000.0;
}

double PrompterActivityState::elapsed(double at) const {
    return isPlaying ? std::max(0.0, at - elapsedAnchor) : pausedElapsed;
}

QString PrompterActivityState::pausedElapsedText() const {
    return DurationFormat::hoursMinutesSeconds(pausedElapsed);
}

bool PrompterActivityState::differsMeaningfully(const PrompterActivityState &other,
                                                double at) const {
    if (isPlaying != other.isPlaying || voiceFollowOn != other.voiceFollowOn)
        return true;
    if (std::fabs(progress - other.progress) > progressThreshold)
        return true;
    return std::fabs(elapsed(at) - other.elapsed(at)) > elapsedThreshold;
}

QByteArray PrompterActivityState::toJson() const {
    const QJsonObject o{{QStringLiteral("isPlaying"), isPlaying},
                        {QStringLiteral("elapsedAnchor"), elapsedAnchor},
                        {QStringLiteral("pausedElapsed"), pausedElapsed},
                        {QStringLiteral("progress"), progress},
                        {QStringLiteral("voiceFollowOn"), voiceFollowOn}};
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

std::optional<PrompterActivityState> PrompterActivityState::fromJson(const QByteArray &json) {
    const QJsonDocument doc = QJsonDocument::fromJson(json);
    if (!doc.isObject())
        return std::nullopt;
    const QJsonObject o = doc.object();
    const auto isBool = [&](const char *k) { return o.value(QLatin1StringView(k)).isBool(); };
    const auto isNumber = [&](const char *k) { return o.value(QLatin1StringView(k)).isDouble(); };
    if (!isBool("isPlaying") || !isBool("voiceFollowOn") || !isNumber("elapsedAnchor") ||
        !isNumber("pausedElapsed") || !isNumber("progress"))
        return std::nullopt;
    return PrompterActivityState{o.value(QStringLiteral("isPlaying")).toBool(),
                                 o.value(QStringLiteral("elapsedAnchor")).toDouble(),
                                 o.value(QStringLiteral("pausedElapsed")).toDouble(),
                                 o.value(QStringLiteral("progress")).toDouble(),
                                 o.value(QStringLiteral("voiceFollowOn")).toBool()};
}

size_t qHash(const PrompterActivityState &s, size_t seed) {
    return qHashMulti(seed, s.isPlaying, s.elapsedAnchor, s.pausedElapsed, s.progress,
                      s.voiceFollowOn);
}

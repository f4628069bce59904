#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// A compact snapshot of playback that an observer outside the process can
// render and keep ticking on its own. Dates are seconds since the reference
// date 2001-01-01 00:00:00 UTC, the form the snapshot's JSON carries.
struct PrompterActivityState {
    static constexpr double progressThreshold = 0.01;
    static constexpr double elapsedThreshold = 1.0;

    bool isPlaying = false;
    double elapsedAnchor = 0; // the moment elapsed time was zero
    double pausedElapsed = 0;
    double progress = 0;
    bool voiceFollowOn = false;

    static PrompterActivityState derive(bool isPlaying, double elapsed, double progress,
                                        bool voiceFollowOn, double now);
    // Now, as seconds since the reference date.
    static double referenceDateNow();

    double elapsed(double at) const;
    QString pausedElapsedText() const;
    bool differsMeaningfully(const PrompterActivityState &other, double at) const;

    QByteArray toJson() const;
    static std::optional<PrompterActivityState> fromJson(const QByteArray &json);

    bool operator==(const PrompterActivityState &) const = default;
};

size_t qHash(const PrompterActivityState &state, size_t seed = 0);

#pragma once

#include "GlowSource.h"
#include "PaceSchedule.h"
#include "RhythmVoice.h"
#include "Scheduler.h"
#include "ScriptWords.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class ReadingPreferences;
class RhythmCache;
class ScriptStore;
class ScrollEngine;

// The pace guide: lights each word when it should be said so the reading
// lands on the script's target time, and steers the scroll to the word lit.
// The rhythm comes from the cache, or from a speech voice in the background.
class PaceGuide : public QObject, public GlowSource {
    Q_OBJECT

public:
    struct RhythmState {
        enum class Kind { idle, measuring, ready, unavailable };
        Kind kind = Kind::idle;
        QString voice; // the display name, when ready
        // The sentence the settings show; empty when idle.
        QString text() const;
        bool operator==(const RhythmState &) const = default;
    };

    static constexpr double measureDelay = 0.8;

    // Measures a text with a voice and replies on this thread, later; the
    // reply may never come if the work is dropped.
    using Measure =
        std::function<void(const QString &text, const QString &voice,
                           std::function<void(std::optional<std::vector<WordRhythm>>)>)>;
    using ResolveVoice =
        std::function<std::optional<RhythmVoice>(const QString &, const QString &)>;

    explicit PaceGuide(Scheduler &scheduler = Scheduler::eventLoop(), QObject *parent = nullptr);

    // The measurement and voice choice default to espeak-ng on a worker thread.
    void setMeasure(Measure measure) { m_measure = std::move(measure); }
    void setResolveVoice(ResolveVoice resolve) { m_resolveVoice = std::move(resolve); }

    void attach(ReadingPreferences &prefs, ScrollEngine &scroll, ScriptStore &store,
                RhythmCache &cache);

    // GlowSource
    QString text() const override { return m_words.text; }
    double glowFront() const override { return m_glowFront; }
    double lookaheadEnd() const override { return m_lookaheadEnd; }
    std::shared_ptr<const ScriptLayout> layout() const override { return m_layout; }

    const ScriptWords &words() const { return m_words; }
    const PaceSchedule &schedule() const { return m_schedule; }
    double clock() const { return m_clock; }
    const std::optional<std::vector<WordRhythm>> &rhythm() const { return m_rhythm; }
    const RhythmState &rhythmState() const { return m_rhythmState; }
    double viewportWidth() const { return m_viewportWidth; }
    void setViewportWidth(double width);

    bool isActive() const;
    PauseStyle style() const;
    double naturalSeconds() const;
    std::pair<double, double> allowedRange() const;
    double targetSeconds() const;
    double remainingSeconds() const { return std::max(0.0, m_schedule.total - m_clock); }

    static QString format(double seconds);

    void sync();

signals:
    // The glow, the schedule or the layout moved: redraw.
    void changed();
    void rhythmStateChanged();

private:
    void resolveRhythm();
    void rebuildSchedule();
    void update(bool force);
    void frame(double dt);
    void restarted();
    void cancelMeasurement();
    void setRhythmState(RhythmState state);

    Scheduler &m_scheduler;
    Measure m_measure;
    ResolveVoice m_resolveVoice;
    QPointer<ReadingPreferences> m_prefs;
    QPointer<ScrollEngine> m_scroll;
    QPointer<ScriptStore> m_store;
    RhythmCache *m_cache = nullptr;

    ScriptWords m_words;
    PaceSchedule m_schedule;
    double m_clock = 0;
    double m_glowFront = 0;
    double m_lookaheadEnd = 0;
    std::shared_ptr<const ScriptLayout> m_layout;
    std::optional<std::vector<WordRhythm>> m_rhythm;
    RhythmState m_rhythmState;
    double m_viewportWidth = 0;
    int m_aimedWord = -1;
    bool m_drivesScroll = false;
    std::optional<QString> m_rhythmKey;
    Scheduler::Handle m_pendingMeasurement = 0;
    std::optional<std::pair<QString, QString>> m_resolvedFor;
};

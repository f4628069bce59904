#pragma once

#include "base/Scheduler.h"
#include "pace/PaceSchedule.h"
#include "pace/RhythmVoice.h"
#include "reading/ReadingFrame.h"
#include "text/GlowSource.h"
#include "text/ScriptWords.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class RhythmCache;

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

    void attach(ReadingPreferences &prefs, ScrollEngine &scroll, SelectedScript &script,
                RhythmCache &cache);

    // GlowSource
    QString text() const override { return words().text; }
    double glowFront() const override { return m_glowFront; }
    double lookaheadEnd() const override { return m_lookaheadEnd; }
    std::shared_ptr<const ScriptLayout> layout() const override { return m_frame.layout(); }

    const ScriptWords &words() const { return m_frame.words(); }
    const PaceSchedule &schedule() const { return m_schedule; }
    double clock() const { return m_clock; }
    const std::optional<std::vector<WordRhythm>> &rhythm() const { return m_rhythm; }
    const RhythmState &rhythmState() const { return m_rhythmState; }
    double viewportWidth() const { return m_frame.width(); }
    void setViewportWidth(double width);

    bool isActive() const;
    PauseStyle style() const;
    double naturalSeconds() const;
    std::pair<double, double> allowedRange() const;
    double targetSeconds() const;
    // How long the selected script takes while the guide is on; nothing
    // while it is off or the script has no words.
    std::optional<double> pacedSeconds() const;
    double remainingSeconds() const { return std::max(0.0, m_schedule.total - m_clock) / m_rate; }
    // How fast the guide's clock runs against the wall clock: 1, or after a
    // jump whatever lands the rest of the script on the target time.
    double rate() const { return m_rate; }
    // The pace a jump may ask for, against the plan's own.
    static constexpr double slowestRate = 0.75, fastestRate = 1.35;

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
    // Moved to another place at once (a section jump): taken up from there.
    void jumped();
    // The clock at the time a word is due.
    void takeUpAt(int word);
    void cancelMeasurement();
    void setRhythmState(RhythmState state);

    Scheduler &m_scheduler;
    Measure m_measure;
    ResolveVoice m_resolveVoice;
    ReadingFrame m_frame;
    RhythmCache *m_cache = nullptr;

    PaceSchedule m_schedule;
    double m_clock = 0;
    double m_rate = 1;
    bool m_active = false;
    double m_glowFront = 0;
    double m_lookaheadEnd = 0;
    std::optional<std::vector<WordRhythm>> m_rhythm;
    RhythmState m_rhythmState;
    int m_aimedWord = -1;
    std::optional<QString> m_rhythmKey;
    Scheduler::Handle m_pendingMeasurement = 0;
    std::optional<std::pair<QString, QString>> m_resolvedFor;
};

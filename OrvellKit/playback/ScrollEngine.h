#pragma once

#include "playback/Countdown.h"

#include "playback/ReadEstimate.h"
#include "playback/SessionTimer.h"
#include "playback/SpeedCurve.h"
#include "playback/TickSource.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

// The one object that knows where the script is: offset, play state, speed
// and elapsed time. A TickSource drives it while it plays.
class ScrollEngine : public QObject {
    Q_OBJECT
    Q_PROPERTY(double offset READ offset WRITE setOffset NOTIFY offsetChanged)
    Q_PROPERTY(bool isPlaying READ isPlaying WRITE setPlaying NOTIFY isPlayingChanged)
    Q_PROPERTY(bool isLive READ isLive WRITE setLive NOTIFY isLiveChanged)
    Q_PROPERTY(double t READ t WRITE setT NOTIFY tChanged)
    Q_PROPERTY(
        double contentHeight READ contentHeight WRITE setContentHeight NOTIFY contentHeightChanged)
    Q_PROPERTY(double viewportHeight READ viewportHeight WRITE setViewportHeight NOTIFY
                   viewportHeightChanged)

public:
    static constexpr double followRate = 6.0;

    explicit ScrollEngine(double viewportHeight, QObject *parent = nullptr);
    ~ScrollEngine() override;

    double offset() const { return m_offset; }
    bool isPlaying() const { return m_isPlaying; }
    bool isLive() const { return m_isLive; }
    double t() const { return m_t; }
    double contentHeight() const { return m_contentHeight; }
    double viewportHeight() const { return m_viewportHeight; }
    std::optional<double> followTarget() const { return m_followTarget; }
    SessionTimer &session() { return m_session; }
    const SessionTimer &session() const { return m_session; }
    TickSource *tickSource() const { return m_tickSource.get(); }

    // These store the value as given and notify only on change.
    void setOffset(double value);
    void setPlaying(bool value);
    void setLive(bool value);
    void setContentHeight(double value);
    void setViewportHeight(double value);
    void setFollowTarget(std::optional<double> value);
    // Clamps to [0, 1] and always notifies.
    void setT(double value);

    // The words of the script being read: with them the speed is a rate in
    // words per minute over the script's laid-out height.
    void setWordCount(int words);
    double wordsPerMinute() const { return SpeedCurve::wordsPerMinute(m_t); }
    double pointsPerSecond() const;
    double maxOffset() const { return m_contentHeight >= 0 ? m_contentHeight : 0; }
    double progress() const;
    bool isAtEnd() const { return m_offset >= maxOffset() && maxOffset() > 0; }

    void play();
    void pause();
    void toggle();
    void goIdle();
    void restart();
    void nudgeSpeed(double delta);
    void scrub(double y);
    void rescale(double contentHeight);

    void attach(std::shared_ptr<TickSource> source);
    void detach();
    void suspendTicking();
    void resumeTickingIfPlaying();

    // Moves to an offset at once (a section jump), playing or not; the
    // observers then take up from the new place.
    void jumpTo(double offset);
    void addJumpObserver(std::function<void()> observer);

    // With the countdown on, Play from the top counts 3, 2, 1 (0.8 s each)
    // before the scroll moves; the engine is playing meanwhile (voice follow
    // listens), Pause cancels it. The number shown, 0 when none.
    void setCountdownEnabled(bool enabled);
    int countdownNumber() const;
    bool isCountingDown() const { return m_countdown.isRunning(); }

    void addRestartObserver(std::function<void()> observer);
    void addFrameObserver(std::function<void(double)> observer);
    // A restart and a frame observer that hold their object weakly: once it
    // is gone they do nothing.
    template <typename T>
    void addObserversOf(T *target, void (T::*onRestart)(), void (T::*onFrame)(double)) {
        QPointer<T> weak(target);
        addRestartObserver([weak, onRestart] {
            if (weak)
                (weak.data()->*onRestart)();
        });
        addFrameObserver([weak, onFrame](double dt) {
            if (weak)
                (weak.data()->*onFrame)(dt);
        });
    }

    // How long `wordCount` words take at the current speed: the same rate
    // for every script, whichever is on the island.
    ReadEstimate estimate(int wordCount) const;

    // One frame of dt seconds, as the attached source delivers it.
    void tick(double dt);

signals:
    void offsetChanged();
    void isPlayingChanged();
    void isLiveChanged();
    void tChanged();
    void contentHeightChanged();
    void viewportHeightChanged();
    void followTargetChanged();
    void tickSourceChanged();
    void countdownChanged();
    // After each frame's tick, once the offset, the session and every frame
    // observer have moved on (the offset itself may not have changed).
    void ticked();

private:
    void releaseSource();
    void startCountdown();
    void stopCountdown();

    double m_offset = 0;
    bool m_isPlaying = false;
    bool m_isLive = false;
    double m_t = SpeedCurve::defaultT;
    double m_contentHeight = 0;
    int m_wordCount = 0;
    double m_viewportHeight;
    std::optional<double> m_followTarget;
    SessionTimer m_session;
    std::shared_ptr<TickSource> m_tickSource;
    std::vector<std::function<void()>> m_restartObservers;
    std::vector<std::function<void(double)>> m_frameObservers;
    std::vector<std::function<void()>> m_jumpObservers;
    Countdown m_countdown;
    bool m_countdownEnabled = false;
};

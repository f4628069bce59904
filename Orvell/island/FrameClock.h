#pragma once

#include "playback/TickSource.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWindow>

// The engine's frame clock: while started it delivers one frame per refresh
// of the island's display and turns the frame times into bounded steps.
// Where the platform paces updates by the display (Wayland frame callbacks)
// the window's update requests drive it; on X11, which has no such pacing
// and answers update requests every 5 ms, a timer at the display's refresh
// rate does, so no frame is drawn that the display would never show.
// Stopped, it asks for nothing, so a paused prompter never wakes up.
class FrameClock : public QObject, public TickSource {
    Q_OBJECT

public:
    // Time in seconds on a monotonic clock; replaceable in tests.
    using Clock = std::function<double()>;

    explicit FrameClock(QWindow *host, Clock clock = {});
    ~FrameClock() override;

    void start() override;
    void stop() override;
    bool isStarted() const { return m_started; }

    // One frame shown at `timestamp`: the first after a start only records it.
    void frame(double timestamp);

    // The display's refresh period in seconds (60 Hz when it reports none).
    double period() const { return m_period; }
    bool isTimerPaced() const { return m_timerPaced; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<QWindow> m_host;
    Clock m_clock;
    QElapsedTimer m_elapsed;
    bool m_started = false;
    double m_lastTimestamp = 0;
    double m_period = 1.0 / 60;
    bool m_timerPaced = false;
    QTimer *m_timer = nullptr;
    double m_nextDeadline = 0;
    // Frames and their spacing, logged every few seconds on request.
    int m_frames = 0;
    double m_statsStart = 0, m_sumInterval = 0, m_sumSquares = 0, m_maxInterval = 0;

    void scheduleNext();
    void refreshPeriod();
    void count(double interval);
};

#pragma once

#include "playback/TickSource.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QWindow>

// The engine's frame clock: while started it asks the island's window for
// an update every frame (paced by the display where the platform can) and
// turns the frame times into bounded steps. Stopped, it asks for nothing,
// so a paused prompter never wakes up.
class DisplayLinkDriver : public QObject, public TickSource {
    Q_OBJECT

public:
    // Time in seconds on a monotonic clock; replaceable in tests.
    using Clock = std::function<double()>;

    explicit DisplayLinkDriver(QWindow *host, Clock clock = {});
    ~DisplayLinkDriver() override;

    void start() override;
    void stop() override;
    bool isStarted() const { return m_started; }

    // One frame shown at `timestamp`: the first after a start only records it.
    void frame(double timestamp);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<QWindow> m_host;
    Clock m_clock;
    QElapsedTimer m_elapsed;
    bool m_started = false;
    double m_lastTimestamp = 0;
};

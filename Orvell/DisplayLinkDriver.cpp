#include "DisplayLinkDriver.h"

#include "playback/SpeedCurve.h"

#include <QEvent>
#include <QThread>

DisplayLinkDriver::DisplayLinkDriver(QWindow *host, Clock clock)
    : m_host(host)
    , m_clock(std::move(clock)) {
    Q_ASSERT_X(host, "DisplayLinkDriver", "a frame clock needs a window to follow");
    if (!m_clock) {
        m_elapsed.start();
        // Offset by one second so that no real frame time is 0, which means "none yet".
        m_clock = [this] { return 1.0 + m_elapsed.nsecsElapsed() / 1e9; };
    }
    host->installEventFilter(this);
}

DisplayLinkDriver::~DisplayLinkDriver() {
    if (m_host)
        m_host->removeEventFilter(this);
}

void DisplayLinkDriver::start() {
    if (m_started || !m_host)
        return;
    m_started = true;
    m_lastTimestamp = 0;
    m_host->requestUpdate();
}

void DisplayLinkDriver::stop() {
    m_started = false;
    m_lastTimestamp = 0;
}

void DisplayLinkDriver::frame(double timestamp) {
    Q_ASSERT(QThread::currentThread() == thread());
    if (m_lastTimestamp != 0 && onTick)
        onTick(TickClamp::apply(timestamp - m_lastTimestamp));
    m_lastTimestamp = timestamp;
}

bool DisplayLinkDriver::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_host && event->type() == QEvent::UpdateRequest && m_started) {
        frame(m_clock());
        // The tick may have paused the engine, which stopped us.
        if (m_started && m_host)
            m_host->requestUpdate();
    }
    return false;
}

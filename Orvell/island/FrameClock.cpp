#include "Orvell/island/FrameClock.h"

#include "playback/SpeedCurve.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QScreen>
#include <QThread>

#include <cmath>

Q_LOGGING_CATEGORY(lcFrameClock, "org.orvell.Orvell.FrameClock", QtWarningMsg)

FrameClock::FrameClock(QWindow *host, Clock clock)
    : m_host(host)
    , m_clock(std::move(clock)) {
    Q_ASSERT_X(host, "FrameClock", "a frame clock needs a window to follow");
    if (!m_clock) {
        m_elapsed.start();
        // Offset by one second so that no real frame time is 0, which means "none yet".
        m_clock = [this] { return 1.0 + m_elapsed.nsecsElapsed() / 1e9; };
    }
    host->installEventFilter(this);
    // X11 has no frame callbacks; the offscreen platform none either.
    const QString platform = QGuiApplication::platformName();
    m_timerPaced =
        platform == QLatin1StringView("xcb") || platform == QLatin1StringView("offscreen");
    if (m_timerPaced) {
        m_timer = new QTimer(this);
        m_timer->setSingleShot(true);
        m_timer->setTimerType(Qt::PreciseTimer);
        connect(m_timer, &QTimer::timeout, this, [this] {
            if (!m_started)
                return;
            frame(m_clock());
            scheduleNext();
        });
    }
    refreshPeriod();
    connect(host, &QWindow::screenChanged, this, &FrameClock::refreshPeriod);
}

void FrameClock::refreshPeriod() {
    const QScreen *screen = m_host ? m_host->screen() : nullptr;
    const double rate = screen ? screen->refreshRate() : 0;
    // Rates outside what displays do (0 from virtual servers) mean "unknown".
    m_period = rate >= 20 && rate <= 500 ? 1.0 / rate : 1.0 / 60;
}

void FrameClock::scheduleNext() {
    if (!m_started || !m_timer)
        return;
    // Deadlines advance by whole periods from the first frame, so timer
    // rounding does not add up; a late frame skips ahead instead of bunching.
    const double now = m_clock();
    m_nextDeadline += m_period;
    if (m_nextDeadline < now)
        m_nextDeadline = now + m_period;
    m_timer->start(std::max(0, static_cast<int>(std::lround((m_nextDeadline - now) * 1000))));
}

FrameClock::~FrameClock() {
    if (m_host)
        m_host->removeEventFilter(this);
}

void FrameClock::start() {
    if (m_started || !m_host)
        return;
    m_started = true;
    m_lastTimestamp = 0;
    if (m_timerPaced) {
        m_nextDeadline = m_clock();
        frame(m_nextDeadline);
        scheduleNext();
        return;
    }
    m_host->requestUpdate();
}

void FrameClock::stop() {
    m_started = false;
    m_lastTimestamp = 0;
    if (m_timer)
        m_timer->stop();
}

void FrameClock::frame(double timestamp) {
    Q_ASSERT(QThread::currentThread() == thread());
    if (m_lastTimestamp != 0) {
        count(timestamp - m_lastTimestamp);
        if (onTick)
            onTick(TickClamp::apply(timestamp - m_lastTimestamp));
    }
    m_lastTimestamp = timestamp;
}

void FrameClock::count(double interval) {
    if (!lcFrameClock().isDebugEnabled())
        return;
    if (m_frames == 0)
        m_statsStart = m_lastTimestamp;
    ++m_frames;
    m_sumInterval += interval;
    m_sumSquares += interval * interval;
    m_maxInterval = std::max(m_maxInterval, interval);
    const double span = m_lastTimestamp + interval - m_statsStart;
    if (span < 10)
        return;
    const double mean = m_sumInterval / m_frames;
    const double spread = std::sqrt(std::max(0.0, m_sumSquares / m_frames - mean * mean));
    qCDebug(lcFrameClock).noquote()
        << QStringLiteral("frames: %1 a second over %2 s; interval %3 ms mean, %4 ms spread, %5 ms "
                          "longest; display period %6 ms")
               .arg(m_frames / span, 0, 'f', 1)
               .arg(span, 0, 'f', 1)
               .arg(mean * 1000, 0, 'f', 2)
               .arg(spread * 1000, 0, 'f', 2)
               .arg(m_maxInterval * 1000, 0, 'f', 1)
               .arg(m_period * 1000, 0, 'f', 2);
    m_frames = 0;
    m_sumInterval = m_sumSquares = m_maxInterval = 0;
}

bool FrameClock::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_host && event->type() == QEvent::UpdateRequest && m_started && !m_timerPaced) {
        frame(m_clock());
        // The tick may have paused the engine, which stopped us.
        if (m_started && m_host)
            m_host->requestUpdate();
    }
    return false;
}

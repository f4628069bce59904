#include "base/Scheduler.h"

#include <QTimerEvent>

#include <cmath>

Scheduler &Scheduler::eventLoop() {
    static TimerScheduler scheduler;
    return scheduler;
}

Scheduler::Handle TimerScheduler::schedule(double seconds, std::function<void()> action) {
    const int ms = seconds > 0 ? static_cast<int>(std::lround(seconds * 1000)) : 0;
    const int id = startTimer(ms, Qt::PreciseTimer);
    m_pending.emplace(id, std::move(action));
    return static_cast<Handle>(id);
}

void TimerScheduler::cancel(Handle handle) {
    const int id = static_cast<int>(handle);
    if (m_pending.erase(id) > 0)
        killTimer(id);
}

void TimerScheduler::timerEvent(QTimerEvent *event) {
    const int id = event->timerId();
    killTimer(id);
    auto it = m_pending.find(id);
    if (it == m_pending.end())
        return;
    std::function<void()> action = std::move(it->second);
    m_pending.erase(it);
    action();
}

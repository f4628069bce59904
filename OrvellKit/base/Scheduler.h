#pragma once

#include <QObject>

#include <functional>
#include <unordered_map>

// Runs actions after a delay on the thread that owns the scheduler. Logic
// that debounces or waits takes one, so tests can move time by hand instead
// of sleeping.
class Scheduler {
public:
    using Handle = quint64;

    virtual ~Scheduler() = default;
    // Handles are never 0, so 0 can mean "nothing pending".
    virtual Handle schedule(double seconds, std::function<void()> action) = 0;
    // Cancelling a handle that already ran or was cancelled does nothing.
    virtual void cancel(Handle handle) = 0;

    // The scheduler the app runs on: Qt timers on the calling thread's event loop.
    static Scheduler &eventLoop();
};

class TimerScheduler : public QObject, public Scheduler {
public:
    using QObject::QObject;
    Handle schedule(double seconds, std::function<void()> action) override;
    void cancel(Handle handle) override;

private:
    void timerEvent(QTimerEvent *event) override;

    std::unordered_map<int, std::function<void()>> m_pending; // by timer id
};

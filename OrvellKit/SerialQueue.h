#pragma once

#include <QString>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// One worker thread that runs jobs one at a time, in the order they were
// queued: the library's disk work, so that a slow disk never stalls the
// window and two writes never interleave.
class SerialQueue {
public:
    SerialQueue();
    // Runs what is still queued, then stops the thread.
    ~SerialQueue();

    SerialQueue(const SerialQueue &) = delete;
    SerialQueue &operator=(const SerialQueue &) = delete;

    void post(std::function<void()> job);
    // Blocks until every job queued so far has run.
    void waitUntilIdle();

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<std::function<void()>> m_jobs;
    bool m_busy = false;
    bool m_stopping = false;
    std::thread m_thread;
};

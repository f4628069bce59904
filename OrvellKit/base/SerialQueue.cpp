#include "base/SerialQueue.h"

#include <pthread.h>

SerialQueue::SerialQueue(Ending ending, const char *name)
    : m_ending(ending)
    , m_state(std::make_shared<State>())
    , m_thread([state = m_state] { run(state); }) {
    if (name)
        pthread_setname_np(m_thread.native_handle(), name);
}

SerialQueue::~SerialQueue() {
    std::deque<std::function<void()>> dropped;
    {
        std::lock_guard lock(m_state->mutex);
        m_state->stopping = true;
        if (m_ending == Ending::abandonQueued)
            dropped.swap(m_state->jobs);
    }
    m_state->wake.notify_all();
    m_state->idle.notify_all();
    if (m_ending == Ending::abandonQueued)
        m_thread.detach();
    else
        m_thread.join();
    // `dropped` goes here, outside the lock: a job's captures may own anything.
}

void SerialQueue::post(std::function<void()> job) {
    {
        std::lock_guard lock(m_state->mutex);
        m_state->jobs.push_back(std::move(job));
    }
    m_state->wake.notify_one();
}

void SerialQueue::waitUntilIdle() {
    std::unique_lock lock(m_state->mutex);
    m_state->idle.wait(lock, [this] { return m_state->jobs.empty() && !m_state->busy; });
}

void SerialQueue::run(const std::shared_ptr<State> &state) {
    std::unique_lock lock(state->mutex);
    for (;;) {
        state->wake.wait(lock, [&] { return state->stopping || !state->jobs.empty(); });
        if (state->jobs.empty()) {
            if (state->stopping)
                return;
            continue;
        }
        std::function<void()> job = std::move(state->jobs.front());
        state->jobs.pop_front();
        state->busy = true;
        lock.unlock();
        job();
        job = nullptr; // its captures die on this thread, before the next job
        lock.lock();
        state->busy = false;
        if (state->jobs.empty())
            state->idle.notify_all();
    }
}

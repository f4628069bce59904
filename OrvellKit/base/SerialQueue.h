#pragma once

#include <QString>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

// One worker thread that runs jobs one at a time, in the order they were
// queued: the library's disk work, so that a slow disk never stalls the
// window and two writes never interleave; voice follow's decoding, so a slow
// chunk never stalls the island.
class SerialQueue {
public:
    // What becomes of queued work when the queue is destroyed.
    enum class Ending {
        // Run what is still queued, then stop the thread (the destructor waits).
        runQueued,
        // Drop what is queued and return at once; a job already running
        // finishes on the thread, which then ends by itself. The destructor
        // may then also run on the queue's own thread, from inside a job.
        abandonQueued,
    };

    // `name` is the thread's name as tools show it (at most 15 bytes), so
    // its time can be told apart from the rest of the process.
    explicit SerialQueue(Ending ending = Ending::runQueued, const char *name = nullptr);
    ~SerialQueue();

    SerialQueue(const SerialQueue &) = delete;
    SerialQueue &operator=(const SerialQueue &) = delete;

    void post(std::function<void()> job);
    // Blocks until every job queued so far has run.
    void waitUntilIdle();

private:
    // Shared with the thread, so it outlives an abandoning queue.
    struct State {
        std::mutex mutex;
        std::condition_variable wake;
        std::condition_variable idle;
        std::deque<std::function<void()>> jobs;
        bool busy = false;
        bool stopping = false;
    };
    static void run(const std::shared_ptr<State> &state);

    Ending m_ending;
    std::shared_ptr<State> m_state;
    std::thread m_thread;
};

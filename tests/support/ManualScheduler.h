#pragma once

#include "base/Scheduler.h"

#include <map>
#include <utility>

// A scheduler whose clock the test moves: advance() runs what falls due, in
// time order.
class ManualScheduler : public Scheduler {
public:
    Handle schedule(double seconds, std::function<void()> action) override {
        const Handle handle = ++m_last;
        m_pending.emplace(std::make_pair(m_now + seconds, handle), std::move(action));
        return handle;
    }

    void cancel(Handle handle) override {
        std::erase_if(m_pending, [&](const auto &item) { return item.first.second == handle; });
    }

    void advance(double seconds) {
        const double until = m_now + seconds;
        while (!m_pending.empty() && m_pending.begin()->first.first <= until) {
            auto it = m_pending.begin();
            m_now = it->first.first;
            std::function<void()> action = std::move(it->second);
            m_pending.erase(it);
            action();
        }
        m_now = until;
    }

    double now() const { return m_now; }
    size_t pendingCount() const { return m_pending.size(); }

private:
    double m_now = 0;
    Handle m_last = 0;
    std::map<std::pair<double, Handle>, std::function<void()>> m_pending;
};

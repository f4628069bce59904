#pragma once

#include "base/AtomicFile.h"

#include <QString>

#include <atomic>
#include <cerrno>
#include <memory>

// Makes the library's writes fail as a full or read-only disk would, for
// paths that contain `part`, until `clear()` or the end of the scope.
class DiskFault {
public:
    DiskFault() = default;
    DiskFault(const QString &part, int code) { set(part, code); }
    ~DiskFault() { AtomicFile::setFaultForTesting({}); }
    DiskFault(const DiskFault &) = delete;
    DiskFault &operator=(const DiskFault &) = delete;

    void set(const QString &part, int code) {
        auto hits = m_hits;
        AtomicFile::setFaultForTesting([part, code, hits](const QString &path) {
            if (!path.contains(part))
                return 0;
            ++*hits;
            return code;
        });
    }
    void clear() { AtomicFile::setFaultForTesting({}); }
    // How many writes were refused so far.
    int hits() const { return *m_hits; }

private:
    std::shared_ptr<std::atomic<int>> m_hits = std::make_shared<std::atomic<int>>(0);
};

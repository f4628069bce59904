#pragma once

#include <QString>

// One Orvell per session. The first start owns the session-bus name
// org.orvell.Orvell; a later one asks it to come forward and ends. Without a
// session bus, a lock file in $XDG_RUNTIME_DIR does the same job.
class SingleInstance {
public:
    enum class Claim {
        first,         // this process is Orvell for the session
        forwarded,     // another one runs and was asked to come forward
        alreadyRunning // another one runs and could not be asked
    };

    SingleInstance() = default;
    ~SingleInstance();
    SingleInstance(const SingleInstance &) = delete;
    SingleInstance &operator=(const SingleInstance &) = delete;

    Claim claim();
    static QString runtimeLockPath();

    // Said by a second start that could not reach the first.
    static QString alreadyRunningMessage() { return QStringLiteral("Orvell is already running."); }

private:
    Claim claimLock();
    int m_lockFd = -1;
};

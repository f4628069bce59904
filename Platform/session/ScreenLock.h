#pragma once

#include <QObject>

// Whether the screen saver or locker is up: org.freedesktop.ScreenSaver on
// the session bus (GetActive, ActiveChanged) where a desktop offers it, and
// the X server's own screen saver. The island and the deck never go above it,
// or a locked laptop would show the script to whoever sits at it.
class ScreenLock : public QObject {
    Q_OBJECT

public:
    explicit ScreenLock(QObject *parent = nullptr);

    bool isActive() const;
    // Whether a session service answers for the screen saver here.
    bool hasSessionService() const { return m_service; }

signals:
    void activeChanged(bool active);

private slots:
    void sessionActiveChanged(bool active);

private:
    bool m_service = false;
    bool m_sessionActive = false;
};

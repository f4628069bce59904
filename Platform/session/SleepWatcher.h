#pragma once

#include <QDBusConnection>
#include <QObject>

// Tells when the computer wakes from suspend: logind's PrepareForSleep(false)
// on the system bus. Displays may have changed meanwhile (a dock unplugged, a
// lid closed), so the app places its windows again.
class SleepWatcher : public QObject {
    Q_OBJECT

public:
    explicit SleepWatcher(QDBusConnection bus = QDBusConnection::systemBus(),
                          QObject *parent = nullptr);
    // Whether logind could be listened to here.
    bool isWatching() const { return m_watching; }

signals:
    void resumed();

private slots:
    void prepareForSleep(bool sleeping);

private:
    bool m_watching = false;
};

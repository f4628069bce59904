#pragma once

#include <QObject>
#include <QString>

// Elapsed reading time of the current session.
class SessionTimer : public QObject {
    Q_OBJECT
    Q_PROPERTY(double elapsed READ elapsed WRITE setElapsed NOTIFY elapsedChanged)

public:
    using QObject::QObject;

    double elapsed() const { return m_elapsed; }
    // Notifies only on change.
    void setElapsed(double seconds);
    void reset() { setElapsed(0); }
    // Notifies every time, even for a zero step: it is the per-frame heartbeat.
    void advance(double dt);

    QString formatted() const;

signals:
    void elapsedChanged();

private:
    double m_elapsed = 0;
};

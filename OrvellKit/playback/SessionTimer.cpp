#include "playback/SessionTimer.h"

#include "base/DurationFormat.h"

void SessionTimer::setElapsed(double seconds) {
    if (seconds == m_elapsed)
        return;
    m_elapsed = seconds;
    emit elapsedChanged();
}

void SessionTimer::advance(double dt) {
    m_elapsed += dt;
    emit elapsedChanged();
}

QString SessionTimer::formatted() const {
    return DurationFormat::minutesSeconds(m_elapsed);
}

#include "playback/ScrollEngine.h"

#include <QPointer>

#include <algorithm>
#include <cmath>

ScrollEngine::ScrollEngine(double viewportHeight, QObject *parent)
    : QObject(parent)
    , m_viewportHeight(viewportHeight) {}

ScrollEngine::~ScrollEngine() {
    releaseSource();
}

void ScrollEngine::setOffset(double value) {
    if (value == m_offset)
        return;
    m_offset = value;
    emit offsetChanged();
}

void ScrollEngine::setPlaying(bool value) {
    if (value == m_isPlaying)
        return;
    m_isPlaying = value;
    emit isPlayingChanged();
}

void ScrollEngine::setLive(bool value) {
    if (value == m_isLive)
        return;
    m_isLive = value;
    emit isLiveChanged();
}

void ScrollEngine::setContentHeight(double value) {
    if (value == m_contentHeight)
        return;
    m_contentHeight = value;
    emit contentHeightChanged();
}

void ScrollEngine::setViewportHeight(double value) {
    if (value == m_viewportHeight)
        return;
    m_viewportHeight = value;
    emit viewportHeightChanged();
}

void ScrollEngine::setFollowTarget(std::optional<double> value) {
    if (value == m_followTarget)
        return;
    m_followTarget = value;
    emit followTargetChanged();
}

void ScrollEngine::setT(double value) {
    m_t = SpeedCurve::clamp(value);
    emit tChanged();
}

double ScrollEngine::progress() const {
    if (m_contentHeight <= 0)
        return 0;
    const double q = m_offset / maxOffset();
    return q > 0 ? std::min(1.0, q) : 0;
}

void ScrollEngine::play() {
    setLive(true);
    if (m_isPlaying)
        return;
    const bool fromTheTop = Countdown::shouldCount(m_offset, isAtEnd());
    if (isAtEnd())
        restart();
    setPlaying(true);
    // From the top the reader gets a moment: 3, 2, 1 before the scroll moves.
    if (m_countdownEnabled && fromTheTop)
        startCountdown();
    if (m_tickSource)
        m_tickSource->start();
}

void ScrollEngine::pause() {
    if (!m_isPlaying)
        return;
    stopCountdown();
    setPlaying(false);
    if (m_tickSource)
        m_tickSource->stop();
}

void ScrollEngine::setCountdownEnabled(bool enabled) {
    m_countdownEnabled = enabled;
    if (!enabled)
        stopCountdown();
}

void ScrollEngine::startCountdown() {
    m_countdown.start();
    emit countdownChanged();
}

void ScrollEngine::stopCountdown() {
    if (!m_countdown.isRunning())
        return;
    m_countdown.cancel();
    emit countdownChanged();
}

int ScrollEngine::countdownNumber() const {
    return m_countdown.remaining.value_or(0);
}

void ScrollEngine::jumpTo(double offset) {
    setOffset(std::clamp(offset, 0.0, maxOffset()));
    for (const auto &observer : m_jumpObservers)
        observer();
}

void ScrollEngine::addJumpObserver(std::function<void()> observer) {
    m_jumpObservers.push_back(std::move(observer));
}

void ScrollEngine::toggle() {
    if (m_isPlaying)
        pause();
    else
        play();
}

void ScrollEngine::goIdle() {
    pause();
    setLive(false);
}

void ScrollEngine::restart() {
    setOffset(0);
    m_session.setElapsed(0);
    for (const auto &observer : m_restartObservers)
        observer();
    // Back at the top while playing: counted in again, as from Play.
    if (m_isPlaying && m_countdownEnabled)
        startCountdown();
}

void ScrollEngine::nudgeSpeed(double delta) {
    setT(m_t + delta);
}

void ScrollEngine::scrub(double y) {
    setOffset(std::min(maxOffset(), std::max(0.0, y)));
}

void ScrollEngine::rescale(double contentHeight) {
    const double newHeight = contentHeight >= 0 ? contentHeight : 0;
    if (m_contentHeight > 0 && newHeight > 0 && newHeight != m_contentHeight)
        setOffset(m_offset * newHeight / m_contentHeight);
    setContentHeight(newHeight);
}

void ScrollEngine::attach(std::shared_ptr<TickSource> source) {
    // A frame clock that outlives its host must not keep ticking us next to
    // its replacement, or every frame would count twice.
    if (m_tickSource && m_tickSource != source)
        releaseSource();
    QPointer<ScrollEngine> self(this);
    source->onTick = [self](double dt) {
        if (self)
            self->tick(dt);
    };
    m_tickSource = std::move(source);
    emit tickSourceChanged();
    if (m_isPlaying)
        m_tickSource->start();
}

void ScrollEngine::detach() {
    if (!m_tickSource)
        return;
    releaseSource();
    emit tickSourceChanged();
}

void ScrollEngine::releaseSource() {
    if (!m_tickSource)
        return;
    m_tickSource->stop();
    m_tickSource->onTick = nullptr;
    m_tickSource.reset();
}

void ScrollEngine::suspendTicking() {
    if (m_tickSource)
        m_tickSource->stop();
}

void ScrollEngine::resumeTickingIfPlaying() {
    if (m_tickSource && m_isPlaying)
        m_tickSource->start();
}

void ScrollEngine::addRestartObserver(std::function<void()> observer) {
    m_restartObservers.push_back(std::move(observer));
}

void ScrollEngine::addFrameObserver(std::function<void(double)> observer) {
    m_frameObservers.push_back(std::move(observer));
}

void ScrollEngine::setWordCount(int words) {
    m_wordCount = std::max(0, words);
}

double ScrollEngine::pointsPerSecond() const {
    if (m_wordCount > 0 && maxOffset() > 0)
        return wordsPerMinute() / 60 * maxOffset() / m_wordCount;
    return SpeedCurve::pointsPerSecond(m_t);
}

ReadEstimate ScrollEngine::estimate(int wordCount) const {
    return ReadEstimate::forDuration(wordCount, wordCount > 0 ? wordCount / wordsPerMinute() * 60 : 0);
}

void ScrollEngine::tick(double dt) {
    // While the countdown runs nothing moves and no time is spent reading.
    if (m_countdown.isRunning()) {
        const Countdown::Event event = m_countdown.advance(dt);
        if (event.kind != Countdown::Event::Kind::none)
            emit countdownChanged();
        emit ticked();
        return;
    }
    for (const auto &observer : m_frameObservers)
        observer(dt);
    m_session.advance(dt);

    if (m_followTarget) {
        const double target = *m_followTarget > 0 ? *m_followTarget : 0;
        const double limit = maxOffset() + 0.5 * m_viewportHeight;
        const double goal = std::min(limit, target);
        // Frame-rate independent easing; follow mode never stops at the end.
        setOffset(m_offset + (1 - std::exp(-followRate * dt)) * (goal - m_offset));
    } else {
        const double next = m_offset + dt * pointsPerSecond();
        if (next >= maxOffset()) {
            setOffset(maxOffset());
            pause();
        } else {
            setOffset(next);
        }
    }
    emit ticked();
}

#include "reading/PaceGuide.h"

#include "base/DurationFormat.h"
#include "pace/EspeakRenderer.h"
#include "pace/RhythmCache.h"
#include "playback/ScrollEngine.h"
#include "settings/ReadingPreferences.h"

#include <QtConcurrent/QtConcurrentRun>

QString PaceGuide::RhythmState::text() const {
    switch (kind) {
    case Kind::measuring:
        return QStringLiteral("Listening to the natural rhythm\u2026");
    case Kind::ready:
        return QStringLiteral("Timed from ") + voice;
    case Kind::unavailable:
        return QStringLiteral(
            "Using estimated timing \u2014 no speech voice could read this script");
    case Kind::idle:
        break;
    }
    return QString();
}

PaceGuide::PaceGuide(Scheduler &scheduler, QObject *parent)
    : QObject(parent)
    , m_scheduler(scheduler)
    , m_measure([this](const QString &text, const QString &voice,
                       std::function<void(std::optional<std::vector<WordRhythm>>)> reply) {
        // espeak-ng on a worker thread; the answer comes back on this one.
        QPointer<PaceGuide> self(this);
        (void)QtConcurrent::run([text, voice, reply, self] {
            auto result = EspeakRenderer::measure(text, voice);
            QMetaObject::invokeMethod(
                self.data(), [reply, result = std::move(result)] { reply(result); },
                Qt::QueuedConnection);
        });
    })
    , m_resolveVoice(&RhythmVoice::resolve) {}

QString PaceGuide::format(double seconds) {
    return DurationFormat::minutesSeconds(seconds);
}

void PaceGuide::attach(ReadingPreferences &prefs, ScrollEngine &scroll, SelectedScript &script,
                       RhythmCache &cache) {
    m_frame.attach(script, prefs, scroll);
    m_cache = &cache;
    scroll.addObserversOf(this, &PaceGuide::restarted, &PaceGuide::frame);
    scroll.addJumpObserver([self = QPointer<PaceGuide>(this)] {
        if (self)
            self->jumped();
    });
    // Re-run sync() whenever an observed value changes.
    m_frame.observe(this, &PaceGuide::sync);
    for (auto signal :
         {&ReadingPreferences::paceGuideEnabledChanged, &ReadingPreferences::pacePauseStyleChanged,
          &ReadingPreferences::paceRhythmVoiceChanged})
        connect(&prefs, signal, this, &PaceGuide::sync);
    sync();
}

void PaceGuide::setViewportWidth(double width) {
    if (m_frame.setWidth(width))
        sync();
}

bool PaceGuide::isActive() const {
    return m_frame.prefs() && m_frame.prefs()->paceGuideEnabled();
}

PauseStyle PaceGuide::style() const {
    return m_frame.prefs() ? m_frame.prefs()->pacePauseStyle() : PauseStyle::natural;
}

double PaceGuide::naturalSeconds() const {
    return PaceSchedule::naturalSeconds(words(), style(), m_rhythm);
}

std::pair<double, double> PaceGuide::allowedRange() const {
    return PaceSchedule::allowedRange(words(), style(), m_rhythm);
}

std::optional<double> PaceGuide::pacedSeconds() const {
    const double target = isActive() ? targetSeconds() : 0;
    return target > 0 ? std::optional<double>(target) : std::nullopt;
}

double PaceGuide::targetSeconds() const {
    if (words().count() == 0)
        return 0;
    const std::optional<double> target = m_frame.targetSeconds();
    if (!target)
        return naturalSeconds();
    return PaceSchedule::clampTarget(*target, words(), style(), m_rhythm);
}

void PaceGuide::setRhythmState(RhythmState state) {
    if (state == m_rhythmState)
        return;
    m_rhythmState = std::move(state);
    emit rhythmStateChanged();
}

void PaceGuide::cancelMeasurement() {
    if (m_pendingMeasurement) {
        m_scheduler.cancel(m_pendingMeasurement);
        m_pendingMeasurement = 0;
    }
}

void PaceGuide::sync() {
    const int current = m_schedule.wordSlots.empty() ? 0 : m_schedule.slotIndex(m_clock);
    std::optional<int> keep;
    if (m_frame.readText()) {
        // An edit reads on from the same words; another script starts over.
        if (m_frame.wasEdited() && m_clock > 0)
            keep = m_frame.wordAfterEdit(current);
        else
            m_clock = 0;
        m_aimedWord = -1;
    }
    if (m_rhythm && static_cast<int>(m_rhythm->size()) != words().count())
        m_rhythm.reset();

    // Read once here rather than from the settings every frame.
    const bool wasActive = m_active;
    m_active = isActive();
    if (!m_active) {
        cancelMeasurement();
        m_rhythmKey.reset();
        m_resolvedFor.reset();
        setRhythmState({});
        m_frame.dropLayout();
        m_frame.release();
        emit changed();
        return;
    }

    resolveRhythm();
    rebuildSchedule();
    if (keep)
        takeUpAt(*keep);

    if (m_frame.layOut())
        m_aimedWord = -1;
    // Switched on in the middle of the script: the guide takes up from the
    // line being read (and times the rest to the target from there).
    if (!wasActive && !keep && m_frame.layout() && m_frame.scroll() &&
        m_frame.scroll()->offset() > 0 && !m_schedule.wordSlots.empty()) {
        takeUpAt(ReadingFrame::wordAtReadingLine(*m_frame.layout(), words(),
                                                 m_frame.scroll()->offset(),
                                                 m_frame.scroll()->viewportHeight()));
    }
    ScrollEngine *scroll = m_frame.scroll();
    if (scroll && scroll->isPlaying() && m_schedule.total > 0 && m_clock >= m_schedule.total)
        scroll->restart();
    update(true);
}

void PaceGuide::resolveRhythm() {
    const ScriptWords &words = this->words();
    // The voice says what the reader says: cues and headings are blanked, so
    // they take no time and every word keeps its place.
    const QString spoken = words.spokenText();
    const QString voicePreference = m_frame.prefs()->paceRhythmVoice();
    const std::pair<QString, QString> resolving{spoken, voicePreference};
    if (m_resolvedFor == resolving)
        return;
    m_resolvedFor = resolving;
    const auto voice =
        words.count() > 0 ? m_resolveVoice(voicePreference, spoken) : std::nullopt;
    if (words.count() == 0 || !voice) {
        cancelMeasurement();
        m_rhythmKey.reset();
        m_rhythm.reset();
        setRhythmState(
            {words.count() == 0 ? RhythmState::Kind::idle : RhythmState::Kind::unavailable,
             QString()});
        return;
    }
    const QString key = RhythmCache::key(spoken, voice->identifier);
    if (m_rhythmKey == key)
        return;
    m_rhythmKey = key;
    cancelMeasurement();
    const QString name = RhythmVoice::displayName(*voice);
    if (auto cached = m_cache ? m_cache->rhythm(key) : std::nullopt) {
        if (m_rhythm != cached)
            m_rhythm = std::move(cached);
        setRhythmState({RhythmState::Kind::ready, name});
        return;
    }
    m_rhythm.reset();
    setRhythmState({RhythmState::Kind::measuring, QString()});
    // A burst of edits or voice changes starts only the last measurement.
    QPointer<PaceGuide> self(this);
    const QString text = spoken;
    const QString voiceId = voice->identifier;
    m_pendingMeasurement = m_scheduler.schedule(measureDelay, [self, key, text, voiceId, name] {
        if (!self)
            return;
        self->m_pendingMeasurement = 0;
        self->m_measure(text, voiceId,
                        [self, key, name](std::optional<std::vector<WordRhythm>> result) {
                            // A measurement for a text or voice that has since changed is dropped.
                            if (!self || self->m_rhythmKey != key)
                                return;
                            if (result) {
                                if (self->m_cache)
                                    self->m_cache->store(*result, key);
                                if (self->m_rhythm != result)
                                    self->m_rhythm = std::move(result);
                                self->setRhythmState({RhythmState::Kind::ready, name});
                            } else {
                                self->m_rhythm.reset();
                                self->setRhythmState({RhythmState::Kind::unavailable, QString()});
                            }
                            self->rebuildSchedule();
                            self->update(false);
                        });
    });
}

void PaceGuide::rebuildSchedule() {
    PaceSchedule next = PaceSchedule::measured(words(), m_rhythm, style(), targetSeconds());
    if (next == m_schedule)
        return;
    // The reader keeps the same share of the way through.
    const double fraction = m_schedule.total > 0 ? m_clock / m_schedule.total : 0;
    m_schedule = std::move(next);
    m_clock = std::min(m_schedule.total, fraction * m_schedule.total);
    m_rate = 1;
    emit changed();
}

void PaceGuide::update(bool force) {
    if (m_schedule.wordSlots.empty()) {
        if (m_glowFront != 0 || m_lookaheadEnd != 0) {
            m_glowFront = m_lookaheadEnd = 0;
            emit changed();
        }
        return;
    }
    const int current = m_schedule.slotIndex(m_clock);
    const double front = m_schedule.offset(m_clock);
    const auto &wordSlots = m_schedule.wordSlots;
    int ahead = current;
    // In the pause after a word the next one is already marked as coming.
    if (m_clock < m_schedule.total && m_clock >= wordSlots[static_cast<size_t>(current)].end &&
        static_cast<size_t>(current) + 1 < wordSlots.size())
        ahead = current + 1;
    const double lookahead = wordSlots[static_cast<size_t>(ahead)].to;
    if (front != m_glowFront || lookahead != m_lookaheadEnd) {
        m_glowFront = front;
        m_lookaheadEnd = lookahead;
        emit changed();
    }
    if (!force && current == m_aimedWord)
        return;
    if (!m_frame.layout() || !m_frame.scroll())
        return;
    m_aimedWord = current;
    m_frame.aim(current);
}

void PaceGuide::frame(double dt) {
    if (!m_active || !(m_schedule.total > 0))
        return;
    m_clock = std::min(m_schedule.total, m_clock + dt * m_rate);
    update(false);
    // The script ends with the schedule.
    if (m_clock >= m_schedule.total && m_frame.scroll())
        m_frame.scroll()->pause();
}

void PaceGuide::jumped() {
    if (!m_active || !m_frame.layout() || !m_frame.scroll() || m_schedule.wordSlots.empty())
        return;
    takeUpAt(ReadingFrame::wordFromReadingLine(*m_frame.layout(), words(),
                                               m_frame.scroll()->offset(),
                                               m_frame.scroll()->viewportHeight()));
    // The rest of the script is timed to end on the target: what the plan
    // has left, in the time the reading has left, within a pace a reader
    // can keep.
    const double planLeft = m_schedule.total - m_clock;
    const double timeLeft = m_schedule.total - m_frame.scroll()->session().elapsed();
    m_rate = planLeft > 1 && timeLeft > 1
                 ? std::clamp(planLeft / timeLeft, slowestRate, fastestRate)
                 : 1.0;
    m_aimedWord = -1;
    update(true);
}

void PaceGuide::takeUpAt(int word) {
    if (static_cast<size_t>(word) < m_schedule.wordSlots.size())
        m_clock = std::min(m_schedule.total, m_schedule.wordSlots[static_cast<size_t>(word)].start);
}

void PaceGuide::restarted() {
    m_clock = 0;
    m_rate = 1;
    m_aimedWord = -1;
    update(true);
}

#include "reading/VoiceFollow.h"

#include "playback/ScrollEngine.h"
#include "settings/ReadingPreferences.h"

#include <QLocale>
#include <QSet>
#include <QTimer>

VoiceFollow::VoiceFollow(Recognition recognition, QObject *parent)
    : QObject(parent)
    , m_recognition(std::move(recognition)) {}

VoiceFollow::~VoiceFollow() {
    if (m_listener) {
        m_listener->onHeard = nullptr;
        m_listener->onState = nullptr;
        m_listener->onRestartRequest = nullptr;
        m_listener->stop();
    }
}

void VoiceFollow::attach(ReadingPreferences &prefs, ScrollEngine &scroll, SelectedScript &script) {
    m_frame.attach(script, prefs, scroll);
    scroll.addObserversOf(this, &VoiceFollow::restarted, &VoiceFollow::frame);
    scroll.addJumpObserver([self = QPointer<VoiceFollow>(this)] {
        if (self)
            self->jumped();
    });
    // Re-run sync() whenever an observed value changes.
    m_frame.observe(this, &VoiceFollow::sync);
    for (auto signal : {&ReadingPreferences::voiceFollowEnabledChanged,
                        &ReadingPreferences::voiceFollowLocaleChanged,
                        &ReadingPreferences::voiceFollowLookaheadChanged})
        connect(&prefs, signal, this, &VoiceFollow::sync);
    connect(&scroll, &ScrollEngine::isPlayingChanged, this, &VoiceFollow::sync);
    sync();
}

QString VoiceFollow::locale() const {
    const QString chosen = m_frame.prefs() ? m_frame.prefs()->voiceFollowLocale() : QString();
    if (!chosen.isEmpty())
        return chosen;
    const QString system = QLocale().name();
    // A German desktop or LANG=C would otherwise leave the shortcut doing
    // nothing while a model for another language sits installed.
    if (m_recognition.hasModel && !m_recognition.hasModel(system)) {
        const QStringList installed = installedLocales();
        if (!installed.isEmpty())
            return installed.first();
    }
    return system;
}

QStringList VoiceFollow::installedLocales() const {
    return m_recognition.installedLocales ? m_recognition.installedLocales() : QStringList();
}

namespace {

QString noModelReason(const QString &locale) {
    const QLocale l(locale);
    const QString name = l.language() == QLocale::C || l.language() == QLocale::AnyLanguage
                             ? locale
                             : QLocale::languageToString(l.language());
    return QStringLiteral("Voice follow is not available: no speech model for %1 is installed on "
                          "this computer.")
        .arg(name);
}

} // namespace

QString VoiceFollow::unavailableReason() const {
    if (!m_recognition.makeListener)
        return QStringLiteral("Voice follow is not available: Orvell found no microphone input "
                              "and no speech recogniser to listen with.");
    if (!m_recognition.hasModel || !m_recognition.hasModel(locale()))
        return noModelReason(locale());
    return QString();
}

bool VoiceFollow::isAvailable() const {
    return m_recognition.makeListener && m_recognition.hasModel && m_recognition.hasModel(locale());
}

bool VoiceFollow::isActive() const {
    return isAvailable() && m_frame.prefs() && m_frame.prefs()->voiceFollowEnabled();
}

void VoiceFollow::toggle() {
    if (ReadingPreferences *prefs = m_frame.prefs(); prefs && isAvailable())
        prefs->setVoiceFollowEnabled(!prefs->voiceFollowEnabled());
}

void VoiceFollow::setViewportWidth(double width) {
    if (m_frame.setWidth(width))
        sync();
}

int VoiceFollow::spokenLength() const {
    const ScriptWords &w = words();
    return m_cursor < w.count() ? w.words[static_cast<size_t>(m_cursor)].location
                                : static_cast<int>(w.text.size());
}

int VoiceFollow::nextWordEnd() const {
    const ScriptWords &w = words();
    return m_cursor < w.count() ? w.words[static_cast<size_t>(m_cursor)].end()
                                : static_cast<int>(w.text.size());
}

double VoiceFollow::lookaheadEnd() const {
    const ScriptWords &w = words();
    if (m_cursor >= w.count())
        return w.text.size();
    const int last = std::min(m_cursor + m_lookahead, w.count()) - 1;
    return w.words[static_cast<size_t>(std::max(last, 0))].end();
}

QStringList VoiceFollow::vocabulary(const ScriptWords &words, int limit) {
    QStringList out;
    QSet<QString> seen;
    for (const auto &w : words.words) {
        if (out.size() >= limit)
            break;
        if (w.key.size() < 6 || seen.contains(w.key))
            continue;
        seen.insert(w.key);
        out << words.text.mid(w.location, w.length);
    }
    return out;
}

void VoiceFollow::setState(const VoiceFollowState &state) {
    if (state == m_state)
        return;
    m_state = state;
    emit stateChanged();
}

void VoiceFollow::sync() {
    if (m_frame.readText()) {
        m_matcher = VoiceMatcher(words());
        if (m_frame.wasEdited() && m_cursor > 0) {
            // An edit of the script being read: the reader is still on the same words.
            m_cursor = m_frame.wordAfterEdit(m_cursor);
            m_matcher.cursor = m_cursor;
            m_front.reset();
            m_front.position = spokenLength();
            m_glowFront = m_front.position;
            follow();
            emit changed();
        } else {
            restarted();
        }
    }
    // Frames ask this many times a second; availability means looking at
    // the installed model, and a setting means reading the settings file, so
    // both are read here, where every change arrives.
    m_lookahead = m_frame.prefs() ? static_cast<int>(m_frame.prefs()->voiceFollowLookahead()) : 3;
    const bool wasActive = m_activeAtSync;
    m_activeAtSync = isActive();
    if (!m_activeAtSync) {
        m_frame.release();
        m_frame.dropLayout();
        stopListening();
        setState({});
        emit changed();
        return;
    }
    if (m_frame.layOut())
        emit changed();
    // Switched on in the middle of the script: listening starts from the
    // line being read, not from the top.
    if (!wasActive && m_frame.layout() && m_frame.scroll() && m_frame.scroll()->offset() > 0) {
        takeUpAt(ReadingFrame::wordAtReadingLine(*m_frame.layout(), words(),
                                                 m_frame.scroll()->offset(),
                                                 m_frame.scroll()->viewportHeight()));
        emit changed();
    }
    follow();
    if (m_frame.scroll() && m_frame.scroll()->isPlaying()) {
        if (!m_listener || m_listeningLocale != m_frame.prefs()->voiceFollowLocale())
            startListening();
    } else {
        stopListening();
    }
}

void VoiceFollow::startListening() {
    stopListening();
    m_listener = m_recognition.makeListener(words());
    m_heard = false;
    if (!m_listener)
        return;
    QPointer<VoiceFollow> self(this);
    m_listener->onHeard = [self](const QStringList &keys) {
        if (self)
            self->heard(keys);
    };
    m_listener->onState = [self](const VoiceFollowState &state) {
        if (self)
            self->setState(state);
    };
    m_listener->onRestartRequest = [self] {
        if (!self)
            return;
        self->stopListening();
        self->sync();
    };
    m_listeningLocale = m_frame.prefs()->voiceFollowLocale();
    const QString language = locale();
    const QStringList words = vocabulary(this->words(), 200);
    VoiceListener *listener = m_listener.get();
    // Started from the event loop, so a slow start never holds up a frame.
    QTimer::singleShot(0, this, [self, listener, language, words] {
        if (self && self->m_listener.get() == listener)
            listener->start(language, words);
    });
}

void VoiceFollow::stopListening() {
    if (!m_listener)
        return;
    std::unique_ptr<VoiceListener> listener = std::move(m_listener);
    listener->onHeard = nullptr;
    listener->onState = nullptr;
    listener->onRestartRequest = nullptr;
    m_listeningLocale.reset();
    setState({});
    listener->stop();
}

void VoiceFollow::heard(const QStringList &keys) {
    m_front.heard();
    if (!m_matcher.ingest(keys))
        return;
    m_cursor = m_matcher.cursor;
    m_front.confirm(spokenLength(), nextWordEnd());
    follow();
    emit changed();
    if (!m_heard) {
        m_heard = true;
        emit stateChanged();
    }
}

void VoiceFollow::frame(double dt) {
    if (!m_activeAtSync)
        return;
    m_front.advance(dt);
    if (m_front.position != m_glowFront) {
        m_glowFront = m_front.position;
        emit changed();
    }
}

void VoiceFollow::jumped() {
    if (!m_activeAtSync || !m_frame.layout() || !m_frame.scroll())
        return;
    takeUpAt(ReadingFrame::wordFromReadingLine(*m_frame.layout(), words(),
                                               m_frame.scroll()->offset(),
                                               m_frame.scroll()->viewportHeight()));
    follow();
    emit changed();
}

void VoiceFollow::takeUpAt(int word) {
    m_cursor = word;
    m_matcher.cursor = m_cursor;
    m_front.reset();
    m_front.position = spokenLength();
    m_glowFront = m_front.position;
}

void VoiceFollow::restarted() {
    m_matcher.cursor = 0;
    m_cursor = 0;
    m_front.reset();
    m_glowFront = 0;
    follow();
    emit changed();
}

void VoiceFollow::follow() {
    if (!m_frame.scroll())
        return;
    // Only a target this controller set is ever cleared.
    if (!isActive() || !m_frame.layout()) {
        m_frame.release();
        return;
    }
    m_frame.aim(m_cursor);
}

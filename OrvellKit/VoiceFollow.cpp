#include "VoiceFollow.h"

#include "ReadingPreferences.h"
#include "ScriptStore.h"
#include "ScrollEngine.h"

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

void VoiceFollow::attach(ReadingPreferences &prefs, ScrollEngine &scroll, ScriptStore &store) {
    m_prefs = &prefs;
    m_scroll = &scroll;
    m_store = &store;
    scroll.addObserversOf(this, &VoiceFollow::restarted, &VoiceFollow::frame);
    // Re-run sync() whenever an observed value changes.
    connect(&store, &ScriptStore::scriptsChanged, this, &VoiceFollow::sync);
    connect(&store, &ScriptStore::selectedIDChanged, this, &VoiceFollow::sync);
    for (auto signal :
         {&ReadingPreferences::voiceFollowEnabledChanged,
          &ReadingPreferences::voiceFollowLocaleChanged,
          &ReadingPreferences::voiceFollowLookaheadChanged, &ReadingPreferences::fontSizeChanged,
          &ReadingPreferences::lineHeightMultipleChanged})
        connect(&prefs, signal, this, &VoiceFollow::sync);
    connect(&scroll, &ScrollEngine::isPlayingChanged, this, &VoiceFollow::sync);
    sync();
}

QString VoiceFollow::locale() const {
    const QString chosen = m_prefs ? m_prefs->voiceFollowLocale() : QString();
    return chosen.isEmpty() ? QLocale().name() : chosen;
}

bool VoiceFollow::isAvailable() const {
    return m_recognition.makeListener && m_recognition.hasModel && m_recognition.hasModel(locale());
}

bool VoiceFollow::isActive() const {
    return isAvailable() && m_prefs && m_prefs->voiceFollowEnabled();
}

void VoiceFollow::toggle() {
    if (isAvailable() && m_prefs)
        m_prefs->setVoiceFollowEnabled(!m_prefs->voiceFollowEnabled());
}

void VoiceFollow::setViewportWidth(double width) {
    if (width == m_viewportWidth)
        return;
    m_viewportWidth = width;
    sync();
}

int VoiceFollow::spokenLength() const {
    return m_cursor < m_words.count() ? m_words.words[static_cast<size_t>(m_cursor)].location
                                      : static_cast<int>(m_words.text.size());
}

int VoiceFollow::nextWordEnd() const {
    return m_cursor < m_words.count() ? m_words.words[static_cast<size_t>(m_cursor)].end()
                                      : static_cast<int>(m_words.text.size());
}

double VoiceFollow::lookaheadEnd() const {
    if (m_cursor >= m_words.count())
        return m_words.text.size();
    const int n = m_prefs ? static_cast<int>(m_prefs->voiceFollowLookahead()) : 3;
    const int last = std::min(m_cursor + n, m_words.count()) - 1;
    return m_words.words[static_cast<size_t>(std::max(last, 0))].end();
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
    const QString text = m_store ? m_store->selectedBody() : QString();
    if (text != m_words.text) {
        m_words = ScriptWords(text);
        m_matcher = VoiceMatcher(m_words);
        restarted();
    }
    // Frames ask this many times a second; availability means looking at
    // the installed model, so it is read here, where every change arrives.
    m_activeAtSync = isActive();
    if (!m_activeAtSync) {
        if (m_drivesScroll && m_scroll) {
            m_scroll->setFollowTarget(std::nullopt);
            m_drivesScroll = false;
        }
        m_layout.reset();
        stopListening();
        setState({});
        emit changed();
        return;
    }
    const ScriptLayout::Key key = ScriptLayout::keyFor(m_words.text, m_viewportWidth, *m_prefs);
    if (!m_layout || !(m_layout->key() == key)) {
        m_layout = ScriptLayout::shared(key, m_words);
        emit changed();
    }
    follow();
    if (m_scroll && m_scroll->isPlaying()) {
        if (!m_listener || m_listeningLocale != m_prefs->voiceFollowLocale())
            startListening();
    } else {
        stopListening();
    }
}

void VoiceFollow::startListening() {
    stopListening();
    m_listener = m_recognition.makeListener(m_words);
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
    m_listeningLocale = m_prefs->voiceFollowLocale();
    const QString language = locale();
    const QStringList words = vocabulary(m_words, 200);
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

void VoiceFollow::restarted() {
    m_matcher.cursor = 0;
    m_cursor = 0;
    m_front.reset();
    m_glowFront = 0;
    follow();
    emit changed();
}

void VoiceFollow::follow() {
    if (!m_scroll)
        return;
    // Only a target this controller set is ever cleared.
    if (!isActive() || !m_layout) {
        if (m_drivesScroll) {
            m_scroll->setFollowTarget(std::nullopt);
            m_drivesScroll = false;
        }
        return;
    }
    m_scroll->setFollowTarget(ReadingLine::followTarget(m_cursor, *m_layout, *m_prefs, *m_scroll));
    m_drivesScroll = true;
}

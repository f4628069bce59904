#include "reading/ModeStatus.h"

#include "playback/ScrollEngine.h"
#include "reading/PaceGuide.h"
#include "reading/VoiceFollow.h"
#include "settings/ReadingPreferences.h"

ModeStatus::ModeStatus(ReadingPreferences &prefs, VoiceFollow &voice, PaceGuide &pace,
                       ScrollEngine &scroll, QObject *parent)
    : QObject(parent)
    , m_prefs(prefs)
    , m_voice(voice)
    , m_pace(pace)
    , m_scroll(scroll)
    , m_voiceOn(prefs.voiceFollowEnabled())
    , m_paceOn(prefs.paceGuideEnabled()) {
    for (auto signal : {&ReadingPreferences::voiceFollowEnabledChanged,
                        &ReadingPreferences::paceGuideEnabledChanged})
        connect(&prefs, signal, this, &ModeStatus::modesChanged);
    connect(&prefs, &ReadingPreferences::voiceFollowLocaleChanged, this, &ModeStatus::refresh);
    connect(&voice, &VoiceFollow::stateChanged, this, [this] {
        const VoiceFollowState &state = m_voice.state();
        // A failure while reading is said where the reader looks, at once.
        if (m_prefs.voiceFollowEnabled() && state.kind == VoiceFollowState::Kind::failed)
            emit notice({state.message, true});
        refresh();
    });
    connect(&pace, &PaceGuide::rhythmStateChanged, this, &ModeStatus::refresh);
    connect(&scroll, &ScrollEngine::isPlayingChanged, this, &ModeStatus::playingChanged);
    m_line = currentLine();
}

ModeStatus::Line ModeStatus::currentLine() const {
    if (m_prefs.voiceFollowEnabled()) {
        if (const QString reason = m_voice.unavailableReason(); !reason.isEmpty())
            return {reason, true};
        const VoiceFollowState &state = m_voice.state();
        switch (state.kind) {
        case VoiceFollowState::Kind::failed:
            return {state.message, true};
        case VoiceFollowState::Kind::preparing:
            return {QStringLiteral("Voice follow: getting ready to listen\u2026"), false};
        case VoiceFollowState::Kind::downloadingModel:
            return {QStringLiteral("Voice follow: loading the speech model\u2026"), false};
        case VoiceFollowState::Kind::listening:
            return {m_voice.hasHeard()
                        ? QStringLiteral("Voice follow: listening")
                        : QStringLiteral("Voice follow: waiting for your first words"),
                    false};
        case VoiceFollowState::Kind::off:
            break;
        }
        return {QStringLiteral("Voice follow: listens when you press Play"), false};
    }
    if (m_prefs.paceGuideEnabled()) {
        const PaceGuide::RhythmState &rhythm = m_pace.rhythmState();
        if (rhythm.kind == PaceGuide::RhythmState::Kind::unavailable)
            return {QStringLiteral("Pace guide: ") + rhythm.text(), false};
        if (rhythm.kind == PaceGuide::RhythmState::Kind::measuring)
            return {QStringLiteral("Pace guide: timing the script\u2026"), false};
        return {QStringLiteral("Pace guide: each word lights up when it is due"), false};
    }
    return {};
}

void ModeStatus::refresh() {
    const Line now = currentLine();
    if (now == m_line)
        return;
    m_line = now;
    emit lineChanged();
}

void ModeStatus::modesChanged() {
    bool voiceOn = m_prefs.voiceFollowEnabled();
    bool paceOn = m_prefs.paceGuideEnabled();
    // Turning one on turns the other off: the two changes arrive one after
    // the other, so while both read as on, the one just switched on is the
    // one that stays.
    if (voiceOn && paceOn)
        (m_voiceOn ? voiceOn : paceOn) = false;
    QString said;
    if (voiceOn && !m_voiceOn)
        said = m_paceOn ? QStringLiteral("Voice follow on \u2014 the pace guide is off")
                        : QStringLiteral("Voice follow on");
    else if (paceOn && !m_paceOn)
        said = m_voiceOn ? QStringLiteral("Pace guide on \u2014 voice follow is off")
                         : QStringLiteral("Pace guide on");
    else if (!voiceOn && m_voiceOn)
        said = QStringLiteral("Voice follow off");
    else if (!paceOn && m_paceOn)
        said = QStringLiteral("Pace guide off");
    m_voiceOn = voiceOn;
    m_paceOn = paceOn;
    refresh();
    if (said.isEmpty())
        return;
    // A mode that cannot work says why straight away.
    if (const QString reason = m_voice.unavailableReason(); voiceOn && !reason.isEmpty())
        emit notice({reason, true});
    else
        emit notice({said, false});
}

void ModeStatus::playingChanged() {
    // Play with voice follow on but nothing to listen with: said at Play,
    // when the reader expects the island to follow.
    if (m_scroll.isPlaying() && m_prefs.voiceFollowEnabled() &&
        !m_voice.unavailableReason().isEmpty())
        emit notice({m_voice.unavailableReason(), true});
    refresh();
}

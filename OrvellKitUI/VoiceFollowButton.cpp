#include "OrvellKitUI/VoiceFollowButton.h"

#include "OrvellKitUI/Tokens.h"
#include "reading/VoiceFollow.h"
#include "settings/ReadingPreferences.h"

#include <QLocale>

VoiceFollowButton::VoiceFollowButton(VoiceFollow &voice, ReadingPreferences &prefs, int diameter,
                                     QWidget *parent)
    : GlassButton(Glyph::voice, QStringLiteral("Voice Follow"), diameter, parent)
    , m_voice(voice)
    , m_prefs(prefs) {
    connect(this, &QAbstractButton::clicked, this, [this] { m_voice.toggle(); });
    connect(&voice, &VoiceFollow::stateChanged, this, &VoiceFollowButton::refresh);
    connect(&prefs, &ReadingPreferences::voiceFollowEnabledChanged, this,
            &VoiceFollowButton::refresh);
    connect(&prefs, &ReadingPreferences::voiceFollowLocaleChanged, this,
            &VoiceFollowButton::refresh);
    refresh();
}

QString VoiceFollowButton::help(const VoiceFollowState &state, bool enabled) {
    switch (state.kind) {
    case VoiceFollowState::Kind::downloadingModel:
        return QStringLiteral("Downloading the speech model\u2026 %1%")
            .arg(static_cast<int>(state.fraction * 100));
    case VoiceFollowState::Kind::failed:
        return state.message;
    case VoiceFollowState::Kind::preparing:
        return QStringLiteral("Starting voice follow\u2026");
    case VoiceFollowState::Kind::listening:
        return QStringLiteral("Listening");
    case VoiceFollowState::Kind::off:
        break;
    }
    return enabled ? QStringLiteral("Voice follow is on: press play and start reading")
                   : QStringLiteral("Voice follow: the script follows your voice");
}

QString VoiceFollowButton::currentHelp() const {
    if (!m_voice.isAvailable())
        return m_voice.unavailableReason();
    return help(m_voice.state(), m_prefs.voiceFollowEnabled());
}

void VoiceFollowButton::refresh() {
    const QString text = currentHelp();
    setToolTip(text);
    setAccessibleDescription(text);
    setFaint(!m_voice.isAvailable());
    setTint(m_voice.isActive() ? Tokens::brandBlue() : QColor());
}

#pragma once

#include "OrvellKitUI/GlassButton.h"
#include "voice/VoiceListener.h"

class ReadingPreferences;
class VoiceFollow;

// Voice follow on and off, with what it is doing as its help text: the
// sentence of a failure or of why it is not available reaches the user here,
// not only the log.
class VoiceFollowButton : public GlassButton {
    Q_OBJECT

public:
    VoiceFollowButton(VoiceFollow &voice, ReadingPreferences &prefs, int diameter,
                      QWidget *parent = nullptr);

    static QString help(const VoiceFollowState &state, bool enabled);
    // Why it cannot be switched on here, for a language.
    QString currentHelp() const;

private:
    void refresh();

    VoiceFollow &m_voice;
    ReadingPreferences &m_prefs;
};

#pragma once

#include "reading/VoiceFollow.h"

#include <QObject>

#include <memory>

class LibrarySelection;
class ModeStatus;
class PaceGuide;
class ReadingPreferences;
class RhythmCache;
class Scheduler;
class ScriptStore;
class ScriptViewportModel;
class ScrollEngine;

// The reading side of the app and the rules that join its parts: the
// selected script, the island's viewport and the two guides. Choosing
// another script pauses and rewinds, the guides lay out the lines the
// island draws, the guide that is on lights the island, and the engine's
// speed is remembered in the preferences.
class ReadingSession : public QObject {
    Q_OBJECT

public:
    ReadingSession(ScriptStore &store, ReadingPreferences &prefs, ScrollEngine &scroll,
                   RhythmCache &rhythms, VoiceFollow::Recognition recognition,
                   Scheduler &scheduler, QObject *parent = nullptr);
    ~ReadingSession() override;

    LibrarySelection &selection() { return *m_selection; }
    ScriptViewportModel &viewport() { return *m_viewport; }
    PaceGuide &pace() { return *m_pace; }
    VoiceFollow &voice() { return *m_voice; }
    ModeStatus &status() { return *m_status; }

private:
    void chooseGlow();

    std::unique_ptr<LibrarySelection> m_selection;
    std::unique_ptr<ScriptViewportModel> m_viewport;
    std::unique_ptr<PaceGuide> m_pace;
    std::unique_ptr<VoiceFollow> m_voice;
    std::unique_ptr<ModeStatus> m_status;
};

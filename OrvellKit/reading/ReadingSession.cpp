#include "reading/ReadingSession.h"

#include "library/ScriptStore.h"
#include "playback/ScrollEngine.h"
#include "reading/LibrarySelection.h"
#include "reading/ModeStatus.h"
#include "reading/PaceGuide.h"
#include "reading/ScriptViewportModel.h"
#include "settings/ReadingPreferences.h"

ReadingSession::ReadingSession(ScriptStore &store, ReadingPreferences &prefs,
                               ScrollEngine &scroll, RhythmCache &rhythms,
                               VoiceFollow::Recognition recognition, Scheduler &scheduler,
                               QObject *parent)
    : QObject(parent)
    , m_selection(std::make_unique<LibrarySelection>(store))
    , m_viewport(std::make_unique<ScriptViewportModel>(*m_selection, prefs, scroll))
    , m_pace(std::make_unique<PaceGuide>(scheduler))
    , m_voice(std::make_unique<VoiceFollow>(std::move(recognition))) {
    // The one place the speed meets its preference: whoever changes the
    // engine's speed (a shortcut, the slider, the bus), it survives a restart.
    scroll.setT(prefs.speedT());
    connect(&scroll, &ScrollEngine::tChanged, this, [&prefs, &scroll] { prefs.setSpeedT(scroll.t()); });

    // The speed is a rate in words per minute over the words on the island.
    const auto countWords = [&store, &scroll] { scroll.setWordCount(store.selectedWordCount()); };
    connect(&store, &ScriptStore::selectedWordCountChanged, this, countWords);
    countWords();

    const auto countdown = [&prefs, &scroll] { scroll.setCountdownEnabled(prefs.countdownEnabled()); };
    connect(&prefs, &ReadingPreferences::countdownEnabledChanged, this, countdown);
    countdown();

    connect(&store, &ScriptStore::selectedScriptReplaced, this, [&scroll] {
        scroll.pause();
        scroll.restart();
    });

    m_pace->attach(prefs, scroll, *m_selection, rhythms);
    m_voice->attach(prefs, scroll, *m_selection);
    m_status = std::make_unique<ModeStatus>(prefs, *m_voice, *m_pace, scroll);

    connect(m_viewport.get(), &ScriptViewportModel::layoutChanged, this, [this] {
        const double width = m_viewport->viewportSize().width();
        m_pace->setViewportWidth(width);
        m_voice->setViewportWidth(width);
    });

    connect(&prefs, &ReadingPreferences::paceGuideEnabledChanged, this, &ReadingSession::chooseGlow);
    connect(&prefs, &ReadingPreferences::voiceFollowEnabledChanged, this,
            &ReadingSession::chooseGlow);
    connect(&prefs, &ReadingPreferences::voiceFollowLocaleChanged, this,
            &ReadingSession::chooseGlow);
    chooseGlow();
}

ReadingSession::~ReadingSession() = default;

void ReadingSession::chooseGlow() {
    // Voice follow, when it can run, outranks the pace guide.
    GlowSource *source = nullptr;
    if (m_voice->isActive())
        source = m_voice.get();
    else if (m_pace->isActive())
        source = m_pace.get();
    m_viewport->setGlowSource(source);
}

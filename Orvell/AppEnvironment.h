#pragma once

#include "GlobalShortcuts.h"
#include "HotKeyCenter.h"
#include "commands/PanelToggles.h"
#include "commands/PrompterCommands.h"
#include "island/IslandLayoutModel.h"
#include "library/ScriptStore.h"
#include "pace/RhythmCache.h"
#include "playback/ScrollEngine.h"
#include "reading/LibrarySelection.h"
#include "reading/PaceGuide.h"
#include "reading/ScriptViewportModel.h"
#include "reading/VoiceFollow.h"
#include "settings/Preferences.h"
#include "settings/SettingsStore.h"
#include "voice/AudioSource.h"

#include <QObject>

#include <memory>

class LoginItem;

// The object graph every window, view and controller receives. Built once
// at start-up and kept until the process ends.
class AppEnvironment : public QObject {
    Q_OBJECT

public:
    struct Services {
        std::unique_ptr<SettingsStore> settings;
        std::unique_ptr<LoginItem> loginItem;
        std::unique_ptr<GlobalShortcuts> shortcuts;
        QString libraryRoot;
        Scheduler *scheduler = nullptr;
        // Opens the microphone for a listening run; none means voice follow
        // has nothing to listen to.
        std::function<std::unique_ptr<AudioSource>()> microphone;
    };

    // The first lines of the script a new library starts with.
    static QString welcomeText();

    explicit AppEnvironment(Services services, QObject *parent = nullptr);
    ~AppEnvironment() override;

    SettingsStore &settings() { return *m_settings; }
    Preferences &prefs() { return *m_prefs; }
    IslandLayoutModel &island() { return *m_island; }
    ScrollEngine &scroll() { return *m_scroll; }
    ScriptStore &store() { return *m_store; }
    HotKeyCenter &hotKeys() { return *m_hotKeys; }
    GlobalShortcuts &shortcuts() { return *m_shortcuts; }
    PanelToggles &panels() { return *m_panels; }
    PrompterCommands &commands() { return *m_commands; }
    ScriptViewportModel &viewport() { return *m_viewport; }
    PaceGuide &pace() { return *m_pace; }
    VoiceFollow &voice() { return *m_voice; }
    // A microphone as voice follow would open it; null where there is none.
    std::unique_ptr<AudioSource> openMicrophone() const {
        return m_microphone ? m_microphone() : nullptr;
    }

    // Imports files into the library: read and converted off the GUI thread
    // (rich documents by this program in a child process), added here;
    // `done` gets the summary the library shows, how many were imported, and
    // a line naming each file that was not.
    void importFiles(
        const QStringList &paths,
        std::function<void(const QString &summary, int imported, const QStringList &problems)>
            done);

signals:
    // Every import, from the window, the bus or the command line, so the
    // library window's status line can say what happened.
    void importStarted(const QString &firstFileName);
    void importFinished(const QString &summary, int imported, const QStringList &problems);

private:
    std::unique_ptr<SettingsStore> m_settings;
    std::unique_ptr<LoginItem> m_loginItem;
    std::unique_ptr<GlobalShortcuts> m_shortcuts;
    std::unique_ptr<IslandLayoutModel> m_island;
    std::unique_ptr<ScrollEngine> m_scroll;
    std::unique_ptr<ScriptStore> m_store;
    std::unique_ptr<LibrarySelection> m_selection;
    std::unique_ptr<HotKeyCenter> m_hotKeys;
    std::unique_ptr<PanelToggles> m_panels;
    std::unique_ptr<Preferences> m_prefs;
    std::unique_ptr<PrompterCommands> m_commands;
    std::unique_ptr<ScriptViewportModel> m_viewport;
    std::unique_ptr<RhythmCache> m_rhythmCache;
    std::unique_ptr<PaceGuide> m_pace;
    std::unique_ptr<VoiceFollow> m_voice;
    std::function<std::unique_ptr<AudioSource>()> m_microphone;
};

#pragma once

#include "Platform/session/ScreenAwake.h"
#include "Platform/shortcuts/GlobalShortcuts.h"
#include "Orvell/core/ShortcutRegistry.h"
#include "commands/PanelToggles.h"
#include "commands/PrompterCommands.h"
#include "import/ImportQueue.h"
#include "island/IslandLayoutModel.h"
#include "library/ScriptStore.h"
#include "pace/RhythmCache.h"
#include "playback/ScrollEngine.h"
#include "reading/ModeStatus.h"
#include "reading/PaceGuide.h"
#include "reading/ReadingSession.h"
#include "reading/ScriptViewportModel.h"
#include "settings/Preferences.h"
#include "settings/SettingsStore.h"
#include "voice/AudioSource.h"

#include <QObject>

#include <memory>

class Autostart;

// The object graph every window, view and controller receives. Built once
// at start-up and kept until the process ends.
class AppEnvironment : public QObject {
    Q_OBJECT

public:
    struct Services {
        std::unique_ptr<SettingsStore> settings;
        std::unique_ptr<Autostart> autostart;
        std::unique_ptr<GlobalShortcuts> shortcuts;
        QString libraryRoot;
        Scheduler *scheduler = nullptr;
        // Opens the microphone for a listening run; none means voice follow
        // has nothing to listen to.
        std::function<std::unique_ptr<AudioSource>()> microphone;
        // Where texts that could not be saved at quit are kept and found
        // again; the user's state folder when not given.
        std::optional<QStringList> unsavedFolders;
        // The app reads its library on a thread of its own, so a large one
        // neither holds up the window nor a quit; tests read it at once.
        bool loadLibraryInBackground = false;
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
    ShortcutRegistry &shortcutRegistry() { return *m_registry; }
    GlobalShortcuts &shortcuts() { return *m_shortcuts; }
    // Holds off the screen saver while a script is read.
    ScreenAwake &screenAwake() { return m_awake; }
    PanelToggles &panels() { return *m_panels; }
    PrompterCommands &commands() { return *m_commands; }
    ReadingSession &reading() { return *m_reading; }
    ScriptViewportModel &viewport() { return m_reading->viewport(); }
    PaceGuide &pace() { return m_reading->pace(); }
    VoiceFollow &voice() { return m_reading->voice(); }
    ModeStatus &modeStatus() { return m_reading->status(); }
    // A microphone as voice follow would open it; null where there is none.
    std::unique_ptr<AudioSource> openMicrophone() const {
        return m_microphone ? m_microphone() : nullptr;
    }

    // Every import, from the window, the bus or the command line: files are
    // read and converted off the GUI thread (rich documents by this program
    // in a child process) and added in batches.
    ImportQueue &imports() { return *m_imports; }

    // Where unsaved texts are kept at quit, and what the last start put back
    // from there ("" when nothing): the library window says it until dismissed.
    const QStringList &unsavedFolders() const { return m_unsavedFolders; }
    const QString &restoredNotice() const { return m_restoredNotice; }
    void dismissRestoredNotice();
    // At quit: writes what is pending; what still cannot be saved is kept in
    // the unsaved folders. False when something could be kept nowhere.
    bool saveBeforeQuitting();

signals:
    void restoredNoticeChanged();

private:
    std::unique_ptr<SettingsStore> m_settings;
    std::unique_ptr<Autostart> m_autostart;
    std::unique_ptr<GlobalShortcuts> m_shortcuts;
    std::unique_ptr<IslandLayoutModel> m_island;
    std::unique_ptr<ScrollEngine> m_scroll;
    std::unique_ptr<ScriptStore> m_store;
    std::unique_ptr<ShortcutRegistry> m_registry;
    std::unique_ptr<PanelToggles> m_panels;
    std::unique_ptr<Preferences> m_prefs;
    std::unique_ptr<PrompterCommands> m_commands;
    std::unique_ptr<RhythmCache> m_rhythmCache;
    std::unique_ptr<ReadingSession> m_reading;
    std::unique_ptr<ImportQueue> m_imports;
    ScreenAwake m_awake;
    QStringList m_unsavedFolders;
    QString m_restoredNotice;
    std::function<std::unique_ptr<AudioSource>()> m_microphone;
};

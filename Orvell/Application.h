#pragma once

#include "Orvell/deck/ControlDeckPanelController.h"
#include "Orvell/island/IslandPanelController.h"
#include "Orvell/library/LibraryWindowController.h"
#include "Platform/session/ColorScheme.h"
#include "Platform/session/ScreenLock.h"
#include "Platform/session/SleepWatcher.h"
#include "Orvell/core/ScreenObserver.h"
#include "Orvell/tray/TrayMenu.h"

#include <QObject>
#include <QPalette>
#include <QTimer>

#include <memory>
#include <optional>

class AppEnvironment;
class ScriptStore;
class FrameClock;

// Start-up and the wiring between the parts: the island, the shortcuts, the
// preference observers, a periodic look at the tray and full-screen windows,
// and the final flush.
class Application : public QObject {
    Q_OBJECT

public:
    static constexpr int sweepIntervalMs = 5000;
    // How long the screen is kept awake after a pause, so a short break in
    // the talk does not find it dimmed.
    static constexpr int awakeAfterPauseMs = 60000;
    // How long the first start shows the welcome script on the island.
    static constexpr int welcomePreviewMs = 6000;

    explicit Application(AppEnvironment &env, QObject *parent = nullptr);
    ~Application() override;

    void launch();
    // What a second start or the session bus's ShowLibrary asks for: the
    // library window comes to the front.
    void comeForward();
    // Quit from a menu: what is pending is written first; when some of it
    // cannot be, the user is asked before Orvell quits.
    void requestQuit();
    // The question asked then: "2 scripts could not be saved: No space left
    // on device."; empty when everything is saved.
    static QString unsavedQuestion(const ScriptStore &store);
    IslandPanelController *island() const { return m_island.get(); }
    ControlDeckPanelController *deck() const { return m_deck.get(); }
    TrayMenu *trayMenu() const { return m_trayMenu.get(); }
    LibraryWindowController &library() { return m_library; }
    ScreenObserver &screens() { return m_screens; }

private:
    void installIsland();
    void installControls();
    // The first start's welcome, and Play pulsing until it is first used.
    void welcome();
    void followColorScheme();
    // One rule for the island and the deck: above ordinary windows and the
    // top panel, above full-screen ones only with the setting, never above
    // an active screen locker.
    void installLevels();
    bool mayRaise(QWindow *window) const;
    // The menu lives in the tray where a tray host runs, on the deck otherwise.
    void placeMenu();
    void sweep();
    void keepAwake();
    void offerGnomeShortcuts();

    AppEnvironment &m_env;
    ScreenObserver m_screens;
    std::unique_ptr<IslandPanelController> m_island;
    std::unique_ptr<ControlDeckPanelController> m_deck;
    std::unique_ptr<TrayMenu> m_trayMenu;
    std::optional<bool> m_inTray;
    ScreenLock m_lock;
    SleepWatcher m_sleep;
    ColorScheme m_scheme;
    // Qt's own colours, for a desktop that states no preference.
    std::optional<QPalette> m_ownPalette;
    LibraryWindowController m_library;
    QTimer m_sweepTimer;
    QTimer m_awakeRelease;
};

#pragma once

#include "IslandPanelController.h"
#include "ScreenObserver.h"

#include <QObject>
#include <QTimer>

#include <memory>

class AppEnvironment;
class DisplayLinkDriver;

// Start-up and the wiring between the parts: the island, the shortcuts, the
// preference observers, the capture-shield sweep and the final flush.
class Application : public QObject {
    Q_OBJECT

public:
    static constexpr int sweepIntervalMs = 5000;

    explicit Application(AppEnvironment &env, QObject *parent = nullptr);
    ~Application() override;

    void launch();
    // What a second start or the session bus's ShowLibrary asks for: the
    // island shows (the library window once it exists).
    void comeForward();
    IslandPanelController *island() const { return m_island.get(); }
    ScreenObserver &screens() { return m_screens; }

private:
    void installIsland();
    void sweep();

    AppEnvironment &m_env;
    ScreenObserver m_screens;
    std::unique_ptr<IslandPanelController> m_island;
    QTimer m_sweepTimer;
};

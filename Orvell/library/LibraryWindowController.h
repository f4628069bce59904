#pragma once

#include <QObject>

#include <functional>
#include <memory>

class AppEnvironment;
class LibraryWindow;

// The one library window: created on first show, kept when closed, its size
// and place restored; in the taskbar and the window switcher as the
// "ShowDockIcon" setting says.
class LibraryWindowController : public QObject {
    Q_OBJECT

public:

    explicit LibraryWindowController(AppEnvironment &env, QObject *parent = nullptr);
    ~LibraryWindowController() override;

    void show();
    // The settings destinations of the sidebar.
    void showSettings();
    LibraryWindow *window() const { return m_window.get(); }
    // What the window's File › Quit Orvell does.
    std::function<void()> onQuit;

private:
    void applyTaskbarPolicy();

    AppEnvironment &m_env;
    std::unique_ptr<LibraryWindow> m_window;
};

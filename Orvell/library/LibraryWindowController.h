#pragma once

#include <QObject>
#include <QRect>

#include <functional>
#include <memory>
#include <vector>

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
    // Where Orvell's own panels are (the island at its reading size, the
    // deck): the window's first place keeps clear of them.
    std::function<std::vector<QRect>()> panels;

    // The first place of a window that wants `wanted` in the free area,
    // between the panels above and below it (a title bar's height left
    // above), no smaller than `minimum`.
    static QRect firstPlace(const QRect &free, const QSize &wanted, const QSize &minimum,
                            const std::vector<QRect> &panels);

private:
    void applyTaskbarPolicy();

    AppEnvironment &m_env;
    std::unique_ptr<LibraryWindow> m_window;
};

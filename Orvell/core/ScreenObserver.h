#pragma once

#include "base/Scheduler.h"
#include "island/ScreenFacts.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

class QScreen;
class Preferences;

// Which display the island belongs on, and when it must be placed again.
class ScreenObserver : public QObject {
    Q_OBJECT

public:
    struct Target {
        enum class Kind { specific, builtIn, withMenuBar, withPointer };
        Kind kind = Kind::builtIn;
        // For specific: the display's identity (ScreenFacts::identity), or,
        // as earlier versions stored it, its number in the platform's list.
        QString identity;
        quint32 display = 0;

        // "builtIn", "menuBar", "pointer", "display:" and an identity, or a
        // display number in decimal.
        static Target fromStored(const QString &text);
        static QString storedFor(const ScreenFacts &display);
        bool operator==(const Target &) const = default;
    };

    // The display a stored identity means among those connected: the same
    // output and device, else the same device on another output, else the
    // same output; none when the display is gone.
    static std::optional<ScreenFacts> find(const std::vector<ScreenFacts> &displays,
                                           const QString &identity);
    // The connected displays, the one carrying the top panel first.
    static std::vector<ScreenFacts> connectedDisplays();

    // The displays as the platform lists them (the first carries the top
    // panel) and where the pointer is; replaceable in tests.
    struct Displays {
        std::function<std::vector<ScreenFacts>()> list;
        std::function<QPointF()> pointer;
    };

    ScreenObserver(Preferences &prefs, Scheduler &scheduler, Displays displays = {},
                   QObject *parent = nullptr);

    const Target &target() const { return m_target; }
    std::optional<ScreenFacts> resolve() const;

    // Now, and again 0.15 s and 0.5 s later: displays settle in steps.
    void scheduleReplace();

    // Listens for display changes and the target setting.
    void start();

signals:
    // The island should be placed again.
    void replaced();

private:
    void replaceNow();

    Preferences &m_prefs;
    Scheduler &m_scheduler;
    Displays m_displays;
    Target m_target;
    std::vector<Scheduler::Handle> m_pending;
};

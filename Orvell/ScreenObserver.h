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
        quint32 display = 0; // for specific: the display's number

        // "builtIn", "menuBar", "pointer" or a display number in decimal.
        static Target fromStored(const QString &text);
        bool operator==(const Target &) const = default;
    };

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
    std::function<void()> onReplace;

    // Listens for display changes and the target setting.
    void start();

private:
    void replaceNow();

    Preferences &m_prefs;
    Scheduler &m_scheduler;
    Displays m_displays;
    Target m_target;
    std::vector<Scheduler::Handle> m_pending;
};

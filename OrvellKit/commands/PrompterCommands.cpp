#include "commands/PrompterCommands.h"

#include "commands/PanelToggles.h"
#include "playback/ScrollEngine.h"
#include "settings/ReadingPreferences.h"

PrompterCommands::PrompterCommands(ScrollEngine &scroll, ReadingPreferences &prefs,
                                   PanelToggles &panels)
    : m_scroll(&scroll)
    , m_prefs(&prefs)
    , m_panels(&panels) {}

void PrompterCommands::nudgeSpeed(double direction, bool withShift) {
    const double step = withShift ? SpeedCurve::shiftArrowStep : SpeedCurve::arrowStep;
    m_scroll->nudgeSpeed(direction * step);
    // Written back every time, so the speed survives a restart of the app.
    m_prefs->setSpeedT(m_scroll->t());
}

void PrompterCommands::handle(HotKeyAction action, bool withShift) {
    // A command that arrives while the app is shutting down is dropped.
    if (!m_scroll || !m_prefs || !m_panels)
        return;
    switch (action) {
    case HotKeyAction::playPause:
        m_scroll->toggle();
        break;
    case HotKeyAction::speedUp:
        nudgeSpeed(+1, withShift);
        break;
    case HotKeyAction::speedDown:
        nudgeSpeed(-1, withShift);
        break;
    case HotKeyAction::restart:
        m_scroll->restart();
        break;
    case HotKeyAction::toggleIsland:
        m_panels->toggleIsland();
        break;
    case HotKeyAction::toggleControlDeck:
        m_panels->toggleControlDeck();
        break;
    case HotKeyAction::toggleVoiceFollow:
        if (toggleVoiceFollow)
            toggleVoiceFollow();
        break;
    }
}

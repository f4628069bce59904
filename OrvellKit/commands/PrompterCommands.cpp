#include "commands/PrompterCommands.h"

#include "playback/ScrollEngine.h"
#include "playback/SpeedCurve.h"
#include "reading/ScriptViewportModel.h"
#include "reading/VoiceFollow.h"

PrompterCommands::PrompterCommands(ScrollEngine &scroll, VoiceFollow &voice,
                                   ScriptViewportModel *viewport, QObject *parent)
    : QObject(parent)
    , m_scroll(&scroll)
    , m_voice(&voice)
    , m_viewport(viewport) {}

void PrompterCommands::setSpeed(double t) {
    if (m_scroll)
        m_scroll->setT(t);
}

void PrompterCommands::handle(HotKeyAction action) {
    // A command that arrives while the app is shutting down is dropped.
    if (!m_scroll || !m_voice)
        return;
    switch (action) {
    case HotKeyAction::playPause:
        m_scroll->toggle();
        break;
    case HotKeyAction::speedUp:
        m_scroll->nudgeSpeed(+SpeedCurve::arrowStep);
        break;
    case HotKeyAction::speedDown:
        m_scroll->nudgeSpeed(-SpeedCurve::arrowStep);
        break;
    case HotKeyAction::speedUpMore:
        m_scroll->nudgeSpeed(+SpeedCurve::shiftArrowStep);
        break;
    case HotKeyAction::speedDownMore:
        m_scroll->nudgeSpeed(-SpeedCurve::shiftArrowStep);
        break;
    case HotKeyAction::restart:
        m_scroll->restart();
        break;
    case HotKeyAction::toggleIsland:
        emit islandToggleRequested();
        break;
    case HotKeyAction::toggleControlDeck:
        emit controlDeckToggleRequested();
        break;
    case HotKeyAction::toggleVoiceFollow:
        m_voice->toggle();
        break;
    case HotKeyAction::nextSection:
        if (m_viewport)
            m_viewport->jumpToSection(+1);
        break;
    case HotKeyAction::previousSection:
        if (m_viewport)
            m_viewport->jumpToSection(-1);
        break;
    }
}

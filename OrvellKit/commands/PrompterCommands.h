#pragma once

#include "commands/HotKeyAction.h"

#include <QPointer>

#include <functional>

class PanelToggles;
class ReadingPreferences;
class ScrollEngine;

// Where every command ends: shortcuts, island buttons, the control deck and
// the tray menu all call handle().
class PrompterCommands {
public:
    PrompterCommands(ScrollEngine &scroll, ReadingPreferences &prefs, PanelToggles &panels);

    // Voice follow plugs in here; until it does the command does nothing.
    std::function<void()> toggleVoiceFollow;

    void handle(HotKeyAction action, bool withShift);

private:
    void nudgeSpeed(double direction, bool withShift);

    QPointer<ScrollEngine> m_scroll;
    QPointer<ReadingPreferences> m_prefs;
    QPointer<PanelToggles> m_panels;
};

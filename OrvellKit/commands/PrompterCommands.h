#pragma once

#include "commands/HotKeyAction.h"

#include <QObject>
#include <QPointer>

class ScriptViewportModel;
class ScrollEngine;
class VoiceFollow;

// Where every command ends: shortcuts of every desktop, the session bus,
// the tray menu, the control deck, the island's buttons and the library's
// menus all call handle(). What the kit cannot carry out itself (the
// panels belong to the app) is asked for by a signal.
class PrompterCommands : public QObject {
    Q_OBJECT

public:
    // Without the island's viewport, the section commands do nothing.
    PrompterCommands(ScrollEngine &scroll, VoiceFollow &voice,
                     ScriptViewportModel *viewport = nullptr, QObject *parent = nullptr);

    void handle(HotKeyAction action);
    // A speed chosen outright, as on the deck's slider.
    void setSpeed(double t);

signals:
    void islandToggleRequested();
    void controlDeckToggleRequested();

private:
    QPointer<ScrollEngine> m_scroll;
    QPointer<VoiceFollow> m_voice;
    QPointer<ScriptViewportModel> m_viewport;
};

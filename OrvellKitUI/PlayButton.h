#pragma once

#include "OrvellKitUI/GlassButton.h"

// Play and pause in one round button; its label says what a press does.
class PlayButton : public GlassButton {
    Q_OBJECT

public:
    explicit PlayButton(int diameter, QWidget *parent = nullptr)
        : GlassButton(Glyph::play, QStringLiteral("Play"), diameter, parent) {}

    bool isPlaying() const { return glyph() == Glyph::pause; }
    void setPlaying(bool playing) {
        setGlyph(playing ? Glyph::pause : Glyph::play);
        setLabel(playing ? QStringLiteral("Pause") : QStringLiteral("Play"));
    }
};

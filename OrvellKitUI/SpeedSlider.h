#pragma once

#include "OrvellKitUI/AttractPulseState.h"

#include <QWidget>

#include <optional>

// Where the speed slider's parts stand in a control `width` points wide; the
// thumb is 38 points wide.
namespace SpeedSliderGeometry {
inline constexpr double thumbWidth = 38;
inline constexpr double thumbHalf = thumbWidth / 2;
double travel(double width);
double thumbOriginX(double t, double width);
double thumbCenterX(double t, double width);
// The position under x, clamped to 0…1; 0 when the thumb cannot move.
double t(double x, double width);
double tickX(int index, int count, double width);
} // namespace SpeedSliderGeometry

// What a key asks of the slider.
enum class SpeedSliderCommand { decrease, increase, minimum, maximum };

namespace SpeedSliderCommands {
// Arrows, Home and End; nothing for any other key (left to other handlers).
std::optional<SpeedSliderCommand> fromKey(int qtKey);
// Steps of 0.05, or 0.1 when coarse (Shift held), clamped to 0…1.
double apply(SpeedSliderCommand command, double t, bool coarse);
} // namespace SpeedSliderCommands

// The speed slider: a track with six ticks and a round thumb. Dragging
// anywhere sets the speed; with focus the arrows step it (Shift: bigger
// steps) and Home/End jump to the ends. Every change the user makes stops
// the attention pulse.
class SpeedSlider : public QWidget {
    Q_OBJECT
    Q_PROPERTY(double t READ t WRITE setT NOTIFY tChanged)

public:
    explicit SpeedSlider(QWidget *parent = nullptr);

    double t() const { return m_t; }
    void setT(double t);
    AttractPulseState &pulse() { return m_pulse; }

    QSize sizeHint() const override { return {240, 38}; }

signals:
    void tChanged();
    // Only changes made by the user.
    void tEdited(double t);

protected:
    void paintEvent(QPaintEvent *) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void edit(double t);
    friend class SpeedSliderAccessible;

    double m_t = 0;
    AttractPulseState m_pulse;
};

#pragma once

#include "reading/ModeStatus.h"
#include "OrvellKitUI/DropShadow.h"

#include <QPoint>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <optional>

class AppEnvironment;
class GlassButton;
class PlayButton;
class QLabel;
class QMenu;
class QToolButton;
class QVBoxLayout;
class SessionReadouts;
class SpeedSlider;
class TypographySteppers;
class VoiceFollowButton;

// The floating deck: a dark glass card with the transport, the readouts,
// the speed, the typography steppers and the panel toggles. It never takes
// the focus and is dragged by its background.
class ControlDeckView : public QWidget {
    Q_OBJECT

public:
    static constexpr int deckWidth = 400;
    static constexpr int deckPadding = 18;
    static constexpr int deckCardGap = 14;
    static constexpr int deckCornerRadius = 24;
    static constexpr int hideButtonInset = 10;
    static constexpr int glassButtonDiameter = 40;
    static constexpr int glassButtonSmall = 24;

    explicit ControlDeckView(AppEnvironment &env, QWidget *parent = nullptr);

    // Where there is no tray to hold the menu, the deck carries it.
    void setMenu(QMenu *menu);

    PlayButton *playButton() const { return m_play; }
    GlassButton *restartButton() const { return m_restart; }
    GlassButton *hideButton() const { return m_hide; }
    GlassButton *menuButton() const { return m_menuButton; }
    VoiceFollowButton *voiceButton() const { return m_voice; }
    SpeedSlider *speedSlider() const { return m_speed; }
    TypographySteppers *steppers() const { return m_steppers; }
    SessionReadouts *readouts() const { return m_readouts; }
    QToolButton *islandToggle() const { return m_islandToggle; }
    QToolButton *deckToggle() const { return m_deckToggle; }
    // Shown while a save is pending; opens the library, where the notice says more.
    QToolButton *saveProblemButton() const { return m_saveProblem; }
    QToolButton *awakeProblemButton() const { return m_awakeProblem; }
    QToolButton *voiceProblemButton() const { return m_voiceProblem; }
    // What the reading modes are doing, or the last change for a few seconds.
    QLabel *modeStatusLabel() const { return m_modeStatus; }
    static constexpr int noticeMs = 4000;

    // The card drops a shadow into a clear margin around it where a
    // compositor blends (none otherwise). Placement and the stored position
    // are the card's: the margin changes neither.
    void setShadowStyle(std::optional<ShadowStyle> style);
    QMargins shadowMargins() const { return m_bleed; }
    QRect cardRect() const { return rect().marginsRemoved(m_bleed); }
    void moveCardTo(QPoint topLeft) { move(topLeft - QPoint(m_bleed.left(), m_bleed.top())); }

    // "Show / Hide Island (Ctrl+Alt+Super+T from any app)".
    static QString toggleHelp(const QString &title, const QString &shortcut);
    static QString hideHelp(const QString &shortcut);

signals:
    void hideClicked();
    // The card's new top-left corner when a drag by the background ends.
    void dragged(QPoint topLeft);
    // The "Not saved" button: the library window says more.
    void saveProblemClicked();
    void settingsRequested();

protected:
    void paintEvent(QPaintEvent *) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void refreshHelp();
    void updateShapes();
    // The card's rounded outline, in the window's coordinates.
    QPainterPath cardPath() const;
    void showModeStatus();
    void showStatusLine(const ModeStatus::Line &line);

    AppEnvironment &m_env;
    PlayButton *m_play = nullptr;
    QLabel *m_modeStatus = nullptr;
    QTimer m_noticeTimer;
    GlassButton *m_restart = nullptr;
    GlassButton *m_hide = nullptr;
    GlassButton *m_menuButton = nullptr;
    VoiceFollowButton *m_voice = nullptr;
    SpeedSlider *m_speed = nullptr;
    TypographySteppers *m_steppers = nullptr;
    SessionReadouts *m_readouts = nullptr;
    QToolButton *m_islandToggle = nullptr;
    QToolButton *m_deckToggle = nullptr;
    QToolButton *m_saveProblem = nullptr;
    QToolButton *m_awakeProblem = nullptr;
    QToolButton *m_voiceProblem = nullptr;
    QMenu *m_menu = nullptr;
    std::optional<QPoint> m_dragFrom;
    QPoint m_windowAtPress;
    bool m_composited = true;
    std::optional<ShadowStyle> m_shadowStyle;
    QMargins m_bleed;
    DropShadow m_shadow;
    QVBoxLayout *m_column = nullptr;
};

#pragma once

#include <QObject>
#include <QPoint>
#include <QRectF>
#include <QSize>

#include <functional>
#include <optional>

class AppEnvironment;
class ControlDeckView;
class QMenu;
class ScreenObserver;

// Shows and hides the control deck: created on first show and kept, placed
// 32 points above the bottom of the chosen screen's free area (or where the
// user last dragged it), fading in over 0.18 s and out over 0.12 s where a
// compositor blends, and never focused.
class ControlDeckPanelController : public QObject {
    Q_OBJECT

public:
    static constexpr double bottomMargin = 32;
    static constexpr int fadeInMs = 180;
    static constexpr int fadeOutMs = 120;

    ControlDeckPanelController(AppEnvironment &env, ScreenObserver &screens,
                               QObject *parent = nullptr);
    ~ControlDeckPanelController() override;

    bool isVisible() const { return m_visible; }
    void setVisible(bool visible);
    void toggle() { setVisible(!m_visible); }
    // The menu the deck carries where no tray holds it; null removes it.
    void setMenu(QMenu *menu);

    ControlDeckView *view() const { return m_view; }

    // Centred on the free area, `bottomMargin` above its bottom, or less when
    // the screen is too short.
    static QPoint placement(const QRectF &visibleFrame, const QSize &deck);

signals:
    void visibilityChanged(bool visible);
    // The deck's "Not saved" button: the library window says more.
    void saveProblemClicked();
    void settingsRequested();

private:
    void create();
    std::optional<QPoint> remembered() const;

    AppEnvironment &m_env;
    ScreenObserver &m_screens;
    ControlDeckView *m_view = nullptr;
    QMenu *m_menu = nullptr;
    bool m_visible = false;
};

#pragma once

#include "island/IslandLayout.h"
#include "island/NotchGeometry.h"

#include <QObject>
#include <QPointer>
#include <QVariantAnimation>

#include <functional>
#include <memory>
#include <optional>

class IslandLayoutModel;
class IslandPanel;
class ScreenObserver;

// Puts the island on the chosen display: measures it, lays the island out
// from the settings, places and shows the window, fades it in and out, and
// hands the layout to the views.
class IslandPanelController : public QObject {
    Q_OBJECT

public:
    struct Providers {
        std::function<IslandLayout::Config()> config;
        // True when the island must stay above full-screen windows.
        std::function<bool()> aboveFullScreen;
        // Whether the window may go on top now (not over a screen locker,
        // nor over a full-screen window unless the setting asks for it).
        std::function<bool(QWindow *)> mayRaise;
        std::function<IslandPanel *()> makePanel;
    };

    // Every layout it measures goes into `model`, which the views read.
    IslandPanelController(ScreenObserver &screens, IslandLayoutModel &model, Providers providers,
                          QObject *parent = nullptr);
    ~IslandPanelController() override;

    bool isVisible() const { return m_visible; }
    IslandPanel *panel() const;
    const std::optional<IslandLayout> &layout() const { return m_layout; }
    const std::optional<NotchGeometry> &geometry() const { return m_geometry; }

    void install();
    void reposition(bool force);
    void setVisible(bool visible);
    void toggle() { setVisible(!m_visible); }
    // Where a dragged window's body stands: its left edge and its top from
    // the display's edges, and the x that would centre it. Nothing without a geometry.
    struct DragPosition {
        double x, y, centredX;
    };
    std::optional<DragPosition> dragPosition(QPoint windowTopLeft) const;

signals:
    void visibilityChanged(bool visible);
    // The window was created, so it can be hardened and given a frame clock.
    void panelCreated(IslandPanel *panel);

private:
    void publish(const IslandLayout &layout, const NotchGeometry &geometry);
    bool measure(NotchGeometry &geometry, IslandLayout &layout) const;
    void raise();

    ScreenObserver &m_screens;
    IslandLayoutModel &m_model;
    Providers m_providers;
    QPointer<IslandPanel> m_panel;
    std::optional<IslandLayout> m_layout;
    std::optional<NotchGeometry> m_geometry;
    bool m_visible = false;
    bool m_pointerHolds = false;
    QVariantAnimation m_fade;
};

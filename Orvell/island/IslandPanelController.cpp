#include "Orvell/island/IslandPanelController.h"

#include "Orvell/island/IslandPanel.h"
#include "Orvell/core/ScreenObserver.h"
#include "base/Metrics.h"
#include "island/IslandLayoutModel.h"

IslandPanelController::IslandPanelController(ScreenObserver &screens, IslandLayoutModel &model,
                                             Providers providers, QObject *parent)
    : QObject(parent)
    , m_screens(screens)
    , m_model(model)
    , m_providers(std::move(providers)) {
    // Not the model's isDragging, which lingers while the island settles:
    // the drop's own placement must move the window at once.
    connect(&m_model, &IslandLayoutModel::dragBegan, this, [this] { m_pointerHolds = true; });
    connect(&m_model, &IslandLayoutModel::dragEnded, this, [this] { m_pointerHolds = false; });
    connect(&m_fade, &QVariantAnimation::valueChanged, this, [this](const QVariant &v) {
        if (m_panel)
            m_panel->setWindowOpacity(v.toDouble());
    });
    connect(&m_fade, &QVariantAnimation::finished, this, [this] {
        if (m_panel && !m_visible)
            m_panel->hide();
    });
}

IslandPanelController::~IslandPanelController() {
    delete m_panel.data();
}

bool IslandPanelController::measure(NotchGeometry &geometry, IslandLayout &layout) const {
    const auto display = m_screens.resolve();
    if (!display)
        return false;
    geometry = NotchGeometry::measure(*display, Metrics::syntheticPillWidth);
    layout = IslandLayout::make(m_providers.config(), geometry);
    return true;
}

void IslandPanelController::raise() {
    if (!m_panel || !m_visible)
        return;
    m_panel->show();
    if (!m_providers.mayRaise || m_providers.mayRaise(m_panel->windowHandle()))
        m_panel->raise();
}

void IslandPanelController::install() {
    if (m_panel)
        return;
    NotchGeometry geometry;
    IslandLayout layout;
    if (!measure(geometry, layout))
        return;
    m_layout = layout;
    m_geometry = geometry;
    // The views read the layout from the model, so it is handed over before
    // the window exists.
    publish(layout, geometry);
    m_panel = m_providers.makePanel();
    m_panel->setFrame(layout.windowFrame.toAlignedRect());
    // The display below its top panel, and the panel too: a user may leave
    // the island up there.
    m_panel->dragBounds = [this]() -> std::optional<QRect> {
        if (!m_geometry)
            return std::nullopt;
        return m_geometry->screenFrame.adjusted(0, -m_geometry->topPanel, 0, 0).toAlignedRect();
    };
    emit panelCreated(m_panel);
    m_visible = true;
    m_panel->setWindowOpacity(1);
    m_panel->show();
    raise();
}

void IslandPanelController::publish(const IslandLayout &layout, const NotchGeometry &geometry) {
    m_model.setGeometry(geometry);
    m_model.setLayout(layout);
}

void IslandPanelController::reposition(bool force) {
    NotchGeometry geometry;
    IslandLayout layout;
    if (!m_panel || !measure(geometry, layout))
        return;
    if (!force && m_layout == layout && m_geometry == geometry) {
        raise();
        return;
    }
    // While the pointer holds the island, the drag places the window.
    if (!m_pointerHolds && m_panel->frame() != layout.windowFrame.toAlignedRect())
        m_panel->setFrame(layout.windowFrame.toAlignedRect());
    m_layout = layout;
    m_geometry = geometry;
    publish(layout, geometry);
    raise();
}

void IslandPanelController::setVisible(bool visible) {
    if (!m_panel || visible == m_visible)
        return;
    m_visible = visible;
    emit visibilityChanged(visible);
    m_fade.stop();
    if (visible) {
        m_panel->setWindowOpacity(0);
        raise();
        m_fade.setDuration(180);
        m_fade.setEasingCurve(QEasingCurve::OutQuad);
        m_fade.setStartValue(0.0);
        m_fade.setEndValue(1.0);
    } else {
        m_fade.setDuration(120);
        m_fade.setEasingCurve(QEasingCurve::InQuad);
        m_fade.setStartValue(m_panel->windowOpacity());
        m_fade.setEndValue(0.0);
    }
    m_fade.start();
}

std::optional<IslandPanelController::DragPosition>
IslandPanelController::dragPosition(QPoint topLeft) const {
    if (!m_geometry || !m_layout)
        return std::nullopt;
    const QRectF screen = m_geometry->screenFrame;
    return DragPosition{topLeft.x() + IslandLayout::bodyInset - screen.left(),
                        topLeft.y() - screen.top(), screen.width() / 2 - m_layout->bodyWidth / 2};
}

IslandPanel *IslandPanelController::panel() const {
    return m_panel.data();
}

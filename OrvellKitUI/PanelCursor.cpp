#include "OrvellKitUI/PanelCursor.h"

PanelCursor &PanelCursor::shared() {
    static PanelCursor cursor;
    return cursor;
}

void PanelCursor::setSurface(std::optional<Qt::CursorShape> cursor) {
    m_surface = cursor;
}

void PanelCursor::controlEntered(const QWidget *control) {
    m_hovered.insert(control);
}

void PanelCursor::controlExited(const QWidget *control) {
    m_hovered.remove(control);
}

Qt::CursorShape PanelCursor::current() const {
    if (!m_hovered.isEmpty())
        return Qt::PointingHandCursor;
    return m_surface.value_or(Qt::ArrowCursor);
}

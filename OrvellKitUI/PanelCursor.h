#pragma once

#include <QCursor>
#include <QSet>

#include <optional>

class QWidget;

// Which pointer the panels that never take the focus should show: a pointing
// hand over a control, the drag cursor over a draggable surface, else the
// arrow. X11 shows each widget's cursor without focus, so the widgets set the
// shape this answers; one for the whole process.
class PanelCursor {
public:
    static PanelCursor &shared();

    void setSurface(std::optional<Qt::CursorShape> cursor);
    void controlEntered(const QWidget *control);
    void controlExited(const QWidget *control);
    Qt::CursorShape current() const;

private:
    std::optional<Qt::CursorShape> m_surface;
    QSet<const QWidget *> m_hovered;
};

#pragma once

#include "base/Scheduler.h"
#include "island/IslandLayout.h"
#include "island/NotchGeometry.h"

#include <QObject>

#include <optional>

// The island's current layout, as the views read it. One per application.
class IslandLayoutModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isDragging READ isDragging NOTIFY isDraggingChanged)

public:
    // How long the drag outline lingers after the pointer lets go, so the
    // island settles before its fillets come back.
    static constexpr double dragSettleDelay = 0.18;

    explicit IslandLayoutModel(Scheduler &scheduler = Scheduler::eventLoop(),
                               QObject *parent = nullptr);

    const IslandLayout &layout() const { return m_layout; }
    void setLayout(const IslandLayout &layout);
    const std::optional<NotchGeometry> &geometry() const { return m_geometry; }
    void setGeometry(const std::optional<NotchGeometry> &geometry);
    bool isDragging() const { return m_isDragging; }

    void beginDrag();
    void endDrag();

signals:
    void layoutChanged();
    void geometryChanged();
    void isDraggingChanged();
    // The pointer took the island and let it go; isDragging lingers a little
    // longer, until the island has settled.
    void dragBegan();
    void dragEnded();

private:
    void setDragging(bool value);

    IslandLayout m_layout;
    std::optional<NotchGeometry> m_geometry;
    bool m_isDragging = false;
    Scheduler &m_scheduler;
};

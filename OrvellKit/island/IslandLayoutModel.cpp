#include "island/IslandLayoutModel.h"

#include <QPointer>

IslandLayoutModel::IslandLayoutModel(Scheduler &scheduler, QObject *parent)
    : QObject(parent)
    , m_scheduler(scheduler) {}

void IslandLayoutModel::setLayout(const IslandLayout &layout) {
    if (layout == m_layout)
        return;
    m_layout = layout;
    emit layoutChanged();
}

void IslandLayoutModel::setGeometry(const std::optional<NotchGeometry> &geometry) {
    if (geometry == m_geometry)
        return;
    m_geometry = geometry;
    emit geometryChanged();
}

void IslandLayoutModel::setDragging(bool value) {
    if (value == m_isDragging)
        return;
    m_isDragging = value;
    emit isDraggingChanged();
}

void IslandLayoutModel::beginDrag() {
    setDragging(true);
    emit dragBegan();
}

void IslandLayoutModel::endDrag() {
    emit dragEnded();
    QPointer<IslandLayoutModel> self(this);
    m_scheduler.schedule(dragSettleDelay, [self] {
        if (self)
            self->setDragging(false);
    });
}

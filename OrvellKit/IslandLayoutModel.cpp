#include "IslandLayoutModel.h"

#include <QPointer>
#include <QTimer>

#include <cmath>

IslandLayoutModel::IslandLayoutModel(QObject *parent)
    : QObject(parent)
    , m_scheduler([this](double seconds, std::function<void()> action) {
        QTimer::singleShot(static_cast<int>(std::lround(seconds * 1000)), this, std::move(action));
    }) {}

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
    if (onDragBegan)
        onDragBegan();
}

void IslandLayoutModel::endDrag() {
    if (onDragEnded)
        onDragEnded();
    QPointer<IslandLayoutModel> self(this);
    m_scheduler(dragSettleDelay, [self] {
        if (self)
            self->setDragging(false);
    });
}

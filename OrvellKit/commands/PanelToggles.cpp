#include "commands/PanelToggles.h"

void PanelToggles::setIslandVisible(bool visible) {
    if (visible == m_island)
        return;
    m_island = visible;
    emit isIslandVisibleChanged();
}

void PanelToggles::setControlDeckVisible(bool visible) {
    if (visible == m_deck)
        return;
    m_deck = visible;
    emit isControlDeckVisibleChanged();
}

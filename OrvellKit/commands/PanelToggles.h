#pragma once

#include <QObject>

#include <functional>

// Mirrors the island and the control deck for views that may not hold
// their controllers. The flags are written only by the panels' own
// visibility reports.
class PanelToggles : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isIslandVisible READ isIslandVisible WRITE setIslandVisible NOTIFY
                   isIslandVisibleChanged)
    Q_PROPERTY(bool isControlDeckVisible READ isControlDeckVisible WRITE setControlDeckVisible
                   NOTIFY isControlDeckVisibleChanged)

public:
    using QObject::QObject;

    bool isIslandVisible() const { return m_island; }
    void setIslandVisible(bool visible);
    bool isControlDeckVisible() const { return m_deck; }
    void setControlDeckVisible(bool visible);

    // Replaced at start-up; until then they do nothing.
    std::function<void()> toggleIsland = [] {};
    std::function<void()> toggleControlDeck = [] {};

signals:
    void isIslandVisibleChanged();
    void isControlDeckVisibleChanged();

private:
    bool m_island = false;
    bool m_deck = false;
};

#pragma once

#include <QObject>

// Mirrors the island and the control deck for views that may not hold
// their controllers (the tray's and the deck's toggles show them). The
// flags are written only by the panels' own visibility reports.
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

signals:
    void isIslandVisibleChanged();
    void isControlDeckVisibleChanged();

private:
    bool m_island = false;
    bool m_deck = false;
};

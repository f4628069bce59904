#pragma once

#include <QWidget>

class PaceGuide;
class QLabel;
class ScriptStore;
class ScrollEngine;

// How long the reading has lasted, and how long the script takes at the
// current speed with the speaking rate that implies ("2:00  ·  150 wpm").
// Text changes only when what it says changes: at most once a second while
// reading, never while paused.
class SessionReadouts : public QWidget {
    Q_OBJECT

public:
    SessionReadouts(ScrollEngine &scroll, ScriptStore &store, QWidget *parent = nullptr);

    // With the pace guide on, the reading takes its target, not the speed's time.
    void followPace(PaceGuide &pace);
    // Reads the estimate again (the guide switched, its pauses changed).
    void refreshEstimate();

    QString elapsedText() const;
    QString estimateText() const;
    // "2:00  ·  150 wpm" for a word count at the engine's distance and speed.
    static QString line(const ScrollEngine &scroll, int wordCount);

private:
    void refreshElapsed();

    ScrollEngine &m_scroll;
    ScriptStore &m_store;
    PaceGuide *m_pace = nullptr;
    QLabel *m_elapsed = nullptr;
    QLabel *m_estimate = nullptr;
    qint64 m_shownSecond = -1;
};

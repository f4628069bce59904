#pragma once

#include <QObject>
#include <QString>

class PaceGuide;
class ReadingPreferences;
class ScrollEngine;
class VoiceFollow;

// What voice follow and the pace guide are doing, in words for where the
// reader looks: a steady line for the deck, and short notices when
// something changes (a mode switched, one turning the other off, listening
// that cannot start) for the island to show briefly.
class ModeStatus : public QObject {
    Q_OBJECT

public:
    struct Line {
        QString text;
        bool problem = false;
        bool operator==(const Line &) const = default;
    };

    ModeStatus(ReadingPreferences &prefs, VoiceFollow &voice, PaceGuide &pace,
               ScrollEngine &scroll, QObject *parent = nullptr);

    // Empty while neither mode is on.
    const Line &line() const { return m_line; }

signals:
    void lineChanged();
    void notice(const ModeStatus::Line &line);

private:
    void refresh();
    void modesChanged();
    void playingChanged();
    Line currentLine() const;

    ReadingPreferences &m_prefs;
    VoiceFollow &m_voice;
    PaceGuide &m_pace;
    ScrollEngine &m_scroll;
    Line m_line;
    // The modes as last told, so that one switching the other off is told once.
    bool m_voiceOn = false;
    bool m_paceOn = false;
};

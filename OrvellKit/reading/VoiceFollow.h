#pragma once

#include "reading/ReadingFrame.h"
#include "text/GlowSource.h"
#include "voice/GlowFront.h"
#include "voice/VoiceListener.h"
#include "voice/VoiceMatcher.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

// Voice follow: while it is on and the prompter plays, listens to the
// speaker, lights what was said and a few words ahead, and keeps the line
// being read on the reading line.
class VoiceFollow : public QObject, public GlowSource {
    Q_OBJECT

public:
    struct Recognition {
        // Makes a listener for a run over the script's words; absent where no
        // recogniser is installed.
        std::function<std::unique_ptr<VoiceListener>(const ScriptWords &words)> makeListener;
        // Whether a speech model for the locale is installed.
        std::function<bool(const QString &locale)> hasModel;
        // The languages with an installed model, as locale names ("en_US").
        std::function<QStringList()> installedLocales;
    };

    explicit VoiceFollow(Recognition recognition = {}, QObject *parent = nullptr);
    ~VoiceFollow() override;

    void attach(ReadingPreferences &prefs, ScrollEngine &scroll, SelectedScript &script);

    bool isAvailable() const;
    bool isActive() const;
    void toggle();
    // The chosen language; without a choice the system's, or, when no model
    // understands the system's, the first installed one.
    QString locale() const;
    QStringList installedLocales() const;
    // Why voice follow cannot be used here; empty when it can.
    QString unavailableReason() const;

    const VoiceFollowState &state() const { return m_state; }
    // Whether the reader's words have moved the cursor since listening
    // began; stateChanged says when it turns true.
    bool hasHeard() const { return m_heard; }
    int cursor() const { return m_cursor; }
    int spokenLength() const;
    double viewportWidth() const { return m_frame.width(); }
    void setViewportWidth(double width);
    const GlowFront &front() const { return m_front; }

    // GlowSource
    QString text() const override { return words().text; }
    double glowFront() const override { return m_glowFront; }
    double lookaheadEnd() const override;
    std::shared_ptr<const ScriptLayout> layout() const override { return m_frame.layout(); }

    // Long words of the script, once each, in order: hints for the recogniser.
    static QStringList vocabulary(const ScriptWords &words, int limit);

    void sync();

signals:
    void stateChanged();
    void changed();

private:
    void startListening();
    void stopListening();
    void heard(const QStringList &keys);
    void frame(double dt);
    void restarted();
    // Moved to another place at once (a section jump): taken up from there.
    void jumped();
    // Listens on from a word, the light there and nothing said past it.
    void takeUpAt(int word);
    void follow();
    void setState(const VoiceFollowState &state);
    int nextWordEnd() const;
    const ScriptWords &words() const { return m_frame.words(); }

    Recognition m_recognition;
    ReadingFrame m_frame;

    VoiceFollowState m_state;
    int m_cursor = 0;
    double m_glowFront = 0;
    VoiceMatcher m_matcher;
    GlowFront m_front;
    std::unique_ptr<VoiceListener> m_listener;
    std::optional<QString> m_listeningLocale;
    bool m_activeAtSync = false;
    bool m_heard = false;
    int m_lookahead = 3; // words lit ahead of the cursor
};

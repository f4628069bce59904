#pragma once

#include "GlowFront.h"
#include "GlowSource.h"
#include "VoiceListener.h"
#include "VoiceMatcher.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

class ReadingPreferences;
class ScriptStore;
class ScrollEngine;

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
    };

    explicit VoiceFollow(Recognition recognition = {}, QObject *parent = nullptr);
    ~VoiceFollow() override;

    void attach(ReadingPreferences &prefs, ScrollEngine &scroll, ScriptStore &store);

    bool isAvailable() const;
    bool isActive() const;
    void toggle();
    QString locale() const;

    const VoiceFollowState &state() const { return m_state; }
    int cursor() const { return m_cursor; }
    int spokenLength() const;
    double viewportWidth() const { return m_viewportWidth; }
    void setViewportWidth(double width);
    const GlowFront &front() const { return m_front; }

    // GlowSource
    QString text() const override { return m_words.text; }
    double glowFront() const override { return m_glowFront; }
    double lookaheadEnd() const override;
    std::shared_ptr<const ScriptLayout> layout() const override { return m_layout; }

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
    void follow();
    void setState(const VoiceFollowState &state);
    int nextWordEnd() const;

    Recognition m_recognition;
    QPointer<ReadingPreferences> m_prefs;
    QPointer<ScrollEngine> m_scroll;
    QPointer<ScriptStore> m_store;

    VoiceFollowState m_state;
    int m_cursor = 0;
    ScriptWords m_words;
    double m_glowFront = 0;
    std::shared_ptr<const ScriptLayout> m_layout;
    double m_viewportWidth = 0;
    VoiceMatcher m_matcher;
    GlowFront m_front;
    std::unique_ptr<VoiceListener> m_listener;
    std::optional<QString> m_listeningLocale;
    bool m_drivesScroll = false;
    bool m_activeAtSync = false;
};

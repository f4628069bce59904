#pragma once

#include "text/ScriptWords.h"
#include "voice/AudioSource.h"
#include "voice/SpeechDecoder.h"
#include "voice/VoiceListener.h"

#include <QObject>

#include <functional>
#include <memory>

// Listens for one script: builds the recogniser's vocabulary from it, opens
// the audio source, and decodes on a worker thread of its own, so a slow
// chunk never holds up the island. Results come back to the GUI thread as
// match keys: the growing hypothesis as volatile results, an utterance
// closed at a pause as a final one.
class SpeechListener : public QObject, public VoiceListener {
    Q_OBJECT

public:
    using SourceFactory = std::function<std::unique_ptr<AudioSource>()>;
    // Makes the recogniser for a vocabulary; on the worker thread.
    using DecoderFactory =
        std::function<std::unique_ptr<SpeechRecognizer>(const ScriptWords &words, QString *error)>;

    static constexpr int finalizedLimit = 8;

    // The sentence for a language the installed model does not understand.
    static QString unsupportedLanguageMessage(const QString &locale);

    SpeechListener(ScriptWords words, SourceFactory makeSource, DecoderFactory makeDecoder = {},
                   QObject *parent = nullptr);
    ~SpeechListener() override;

    void start(const QString &locale, const QStringList &vocabulary) override;
    void stop() override;

    const VoiceFollowState &state() const { return m_state; }
    const QStringList &finalized() const { return m_finalized; }
    AudioSource *source() const { return m_source.get(); }

    // Blocks until the worker has handled everything queued so far; its
    // results are then waiting in the event queue. For replays and tests.
    void waitUntilIdle();

private:
    struct Shared;

    void report(const VoiceFollowState &state);
    void fail(const QString &message);
    void tearDown();
    void decoderReady(int generation);
    void deliver(int generation, const SpeechRecognizer::Result &result);

    ScriptWords m_words;
    SourceFactory m_makeSource;
    DecoderFactory m_makeDecoder;
    std::shared_ptr<Shared> m_shared;
    std::unique_ptr<AudioSource> m_source;
    VoiceFollowState m_state;
    QStringList m_finalized;
    int m_generation = 0;
};

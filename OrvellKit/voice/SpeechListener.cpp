#include "voice/SpeechListener.h"

#include "base/SerialQueue.h"
#include "voice/SpeechVocabulary.h"

#include <QCoreApplication>
#include <QLocale>
#include <QLoggingCategory>
#include <QPointer>

#include <atomic>

Q_LOGGING_CATEGORY(lcVoice, "org.orvell.Orvell.VoiceFollow", QtWarningMsg)

// What the decoding thread works on. The listener holds it and jobs only
// look it up when they run, so a listener thrown away mid-decode returns at
// once: the job in hand finishes, the recogniser goes with it, and the queued
// chunks are dropped.
struct SpeechListener::Shared : std::enable_shared_from_this<SpeechListener::Shared> {
    SerialQueue queue{SerialQueue::Ending::abandonQueued, "orvell-speech"};
    // The listener's generation as the thread sees it; a job of an older run
    // does nothing.
    std::atomic<int> generation{0};
    // Touched only by jobs, so only on the decoding thread.
    std::unique_ptr<SpeechRecognizer> recognizer;
    // Read and cleared on the GUI thread only.
    QPointer<SpeechListener> owner;

    // Runs a job of run `g` on the decoding thread, unless the run is over.
    void post(int g, std::function<void(Shared &)> job) {
        queue.post([weak = weak_from_this(), g, job = std::move(job)] {
            if (const auto self = weak.lock(); self && self->generation == g)
                job(*self);
        });
    }

    // Runs on the GUI thread with the listener, if it still exists.
    template <typename F> void toListener(F f) {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [keep = weak_from_this(), f = std::move(f)] {
                if (const auto alive = keep.lock(); alive && alive->owner)
                    f(*alive->owner);
            },
            Qt::QueuedConnection);
    }
};

QString SpeechListener::unsupportedLanguageMessage(const QString &locale) {
    const QLocale l(locale);
    QString name = l.language() == QLocale::C || l.language() == QLocale::AnyLanguage
                       ? QString()
                       : QLocale::languageToString(l.language());
    if (name.isEmpty())
        name = locale;
    return QStringLiteral("Speech recognition does not support ") + name + QLatin1Char('.');
}

SpeechListener::SpeechListener(ScriptWords words, SourceFactory makeSource,
                               DecoderFactory makeDecoder, QObject *parent)
    : QObject(parent)
    , m_words(std::move(words))
    , m_makeSource(std::move(makeSource))
    , m_makeDecoder(std::move(makeDecoder))
    , m_shared(std::make_shared<Shared>()) {
    if (!m_makeDecoder) {
        m_makeDecoder = [](const ScriptWords &w, QString *error) {
            const SpeechVocabulary vocabulary =
                SpeechVocabulary::build(w, SpeechDecoder::dictionaryPath());
            return std::unique_ptr<SpeechRecognizer>(SpeechDecoder::create(vocabulary, error));
        };
    }
    m_shared->owner = this;
}

SpeechListener::~SpeechListener() {
    if (m_source)
        m_source->stop();
    m_shared->owner = nullptr;
    m_shared->generation = -1;
}

void SpeechListener::report(const VoiceFollowState &state) {
    m_state = state;
    if (onState)
        onState(state);
}

void SpeechListener::start(const QString &locale, const QStringList &) {
    const int g = ++m_generation;
    m_shared->generation = g;
    tearDown();
    report({VoiceFollowState::Kind::preparing, 0, {}});
    if (!SpeechDecoder::supportsLocale(locale))
        return fail(unsupportedLanguageMessage(locale));

    // The vocabulary comes from the whole script, so the recogniser's own
    // hints are not needed beyond it.
    m_shared->post(g, [g, words = m_words, make = m_makeDecoder](Shared &shared) {
        QString error;
        shared.recognizer = make(words, &error);
        const bool ok = shared.recognizer != nullptr;
        shared.toListener([g, ok, error](SpeechListener &listener) {
            if (listener.m_generation != g)
                return;
            if (ok)
                listener.decoderReady(g);
            else
                listener.fail(error.isEmpty()
                                  ? QStringLiteral("Speech recognition could not start.")
                                  : error);
        });
    });
}

void SpeechListener::decoderReady(int g) {
    m_source = m_makeSource ? m_makeSource() : nullptr;
    if (!m_source)
        return fail(AudioSource::noInputMessage());
    QPointer<SpeechListener> self(this);
    m_source->onFailure = [self, g](const QString &why) {
        if (self && self->m_generation == g)
            self->fail(why);
    };
    const std::weak_ptr<Shared> weak = m_shared;
    QString error;
    const bool started = m_source->start(
        [weak, g](const float *samples, std::size_t count) {
            const auto shared = weak.lock();
            if (!shared || shared->generation != g)
                return;
            shared->post(g, [g, chunk = std::vector<float>(samples, samples + count)](Shared &s) {
                if (!s.recognizer)
                    return;
                for (const auto &result : s.recognizer->feed(chunk.data(), chunk.size()))
                    s.toListener(
                        [g, result](SpeechListener &listener) { listener.deliver(g, result); });
            });
        },
        &error);
    if (!started)
        return fail(error.isEmpty() ? AudioSource::noInputMessage() : error);
    m_finalized.clear();
    report({VoiceFollowState::Kind::listening, 0, {}});
}

void SpeechListener::deliver(int g, const SpeechRecognizer::Result &result) {
    if (g != m_generation)
        return;
    const QStringList keys = ScriptWords::keys(result.text);
    qCDebug(lcVoice) << (result.isFinal ? "final:" : "heard:") << result.text;
    if (result.isFinal) {
        m_finalized += keys;
        if (m_finalized.size() > finalizedLimit)
            m_finalized = m_finalized.mid(m_finalized.size() - finalizedLimit);
        if (onHeard)
            onHeard(m_finalized);
    } else if (onHeard) {
        onHeard(m_finalized + keys);
    }
}

void SpeechListener::stop() {
    m_shared->generation = ++m_generation;
    tearDown();
    report({});
}

void SpeechListener::fail(const QString &message) {
    m_shared->generation = ++m_generation;
    tearDown();
    report({VoiceFollowState::Kind::failed, 0, message});
}

void SpeechListener::tearDown() {
    if (m_source) {
        m_source->onFailure = nullptr;
        m_source->stop();
        m_source.reset();
    }
    // The recogniser is freed on its own thread, after any chunk in hand.
    m_shared->post(m_generation, [](Shared &shared) { shared.recognizer.reset(); });
    m_finalized.clear();
}

void SpeechListener::waitUntilIdle() {
    m_shared->queue.waitUntilIdle();
}

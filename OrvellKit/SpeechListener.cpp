#include "SpeechListener.h"

#include "SpeechVocabulary.h"

#include <QCoreApplication>
#include <QLocale>
#include <QLoggingCategory>
#include <QPointer>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

Q_LOGGING_CATEGORY(lcVoice, "org.orvell.Orvell.VoiceFollow", QtWarningMsg)

// The decoding thread. It belongs to nobody: the listener and the thread each
// hold it, so a listener thrown away mid-decode returns at once and the
// thread finishes its chunk, sees it is no longer wanted, and ends.
struct SpeechListener::Worker : std::enable_shared_from_this<SpeechListener::Worker> {
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable idle;
    std::deque<std::function<void()>> jobs;
    bool busy = false;
    bool closing = false;
    // The listener's generation as the worker sees it; a job of an older
    // run does nothing.
    std::atomic<int> generation{0};
    // Touched only by jobs, so only on the worker thread.
    std::unique_ptr<SpeechRecognizer> recognizer;
    // Read and cleared on the GUI thread only.
    QPointer<SpeechListener> owner;

    static void run(const std::shared_ptr<Worker> &self) {
        std::unique_lock lock(self->mutex);
        for (;;) {
            self->wake.wait(lock, [&] { return self->closing || !self->jobs.empty(); });
            if (self->closing)
                break;
            auto job = std::move(self->jobs.front());
            self->jobs.pop_front();
            self->busy = true;
            lock.unlock();
            job();
            lock.lock();
            self->busy = false;
            if (self->jobs.empty())
                self->idle.notify_all();
        }
        self->jobs.clear();
        lock.unlock();
        self->recognizer.reset();
        self->idle.notify_all();
    }

    void post(std::function<void()> job) {
        {
            std::lock_guard lock(mutex);
            if (closing)
                return;
            jobs.push_back(std::move(job));
        }
        wake.notify_one();
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
    , m_worker(std::make_shared<Worker>()) {
    if (!m_makeDecoder) {
        m_makeDecoder = [](const ScriptWords &w, QString *error) {
            const SpeechVocabulary vocabulary =
                SpeechVocabulary::build(w, SpeechDecoder::dictionaryPath());
            return std::unique_ptr<SpeechRecognizer>(SpeechDecoder::create(vocabulary, error));
        };
    }
    m_worker->owner = this;
    std::thread([worker = m_worker] { Worker::run(worker); }).detach();
}

SpeechListener::~SpeechListener() {
    if (m_source)
        m_source->stop();
    m_worker->owner = nullptr;
    {
        std::lock_guard lock(m_worker->mutex);
        m_worker->closing = true;
    }
    m_worker->wake.notify_all();
}

void SpeechListener::report(const VoiceFollowState &state) {
    m_state = state;
    if (onState)
        onState(state);
}

void SpeechListener::start(const QString &locale, const QStringList &) {
    const int g = ++m_generation;
    m_worker->generation = g;
    tearDown();
    report({VoiceFollowState::Kind::preparing, 0, {}});
    if (!SpeechDecoder::supportsLocale(locale))
        return fail(unsupportedLanguageMessage(locale));

    // The vocabulary comes from the whole script, so the recogniser's own
    // hints are not needed beyond it.
    Worker *worker = m_worker.get();
    m_worker->post([worker, g, words = m_words, make = m_makeDecoder] {
        if (worker->generation != g)
            return;
        QString error;
        worker->recognizer = make(words, &error);
        const bool ok = worker->recognizer != nullptr;
        worker->toListener([g, ok, error](SpeechListener &listener) {
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
    const std::weak_ptr<Worker> weak = m_worker;
    QString error;
    const bool started = m_source->start(
        [weak, g](const float *samples, std::size_t count) {
            const auto w = weak.lock();
            if (!w || w->generation != g)
                return;
            w->post([worker = w.get(), g, chunk = std::vector<float>(samples, samples + count)] {
                if (worker->generation != g || !worker->recognizer)
                    return;
                for (const auto &result : worker->recognizer->feed(chunk.data(), chunk.size()))
                    worker->toListener(
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
    m_worker->generation = ++m_generation;
    tearDown();
    report({});
}

void SpeechListener::fail(const QString &message) {
    m_worker->generation = ++m_generation;
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
    Worker *worker = m_worker.get();
    const int g = m_generation;
    m_worker->post([worker, g] {
        if (worker->generation == g)
            worker->recognizer.reset();
    });
    m_finalized.clear();
}

void SpeechListener::waitUntilIdle() {
    std::unique_lock lock(m_worker->mutex);
    m_worker->idle.wait(lock, [&] { return m_worker->jobs.empty() && !m_worker->busy; });
}

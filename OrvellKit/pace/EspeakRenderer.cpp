#include "pace/EspeakRenderer.h"

#include <QElapsedTimer>

#include <espeak-ng/speak_lib.h>

#include <mutex>
#include <vector>

namespace EspeakRenderer {

namespace {

std::mutex &engineMutex() {
    static std::mutex m;
    return m;
}

// espeak-ng's sample rate, or 0 when it could not start.
int initialise() {
    static const int rate = [] {
        const int r =
            espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, espeakINITIALIZE_DONT_EXIT);
        return r > 0 ? r : 0;
    }();
    return rate;
}

struct Collector {
    explicit Collector(double rate)
        : envelope(rate) {}
    bool keepSamples = true;
    std::vector<float> samples;
    SpeechRhythm::EnvelopeFollower envelope;
    std::vector<float> chunk;
    std::vector<std::pair<int, int>> wordEvents; // (code point offset, milliseconds)
    std::vector<int> wordLengths;
    QElapsedTimer clock;
    double timeout = 0;
    bool timedOut = false;
};

int onSynth(short *wav, int count, espeak_EVENT *events) {
    auto *c = static_cast<Collector *>(events ? events->user_data : nullptr);
    if (!c)
        return 0;
    if (wav && count > 0) {
        c->chunk.resize(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i)
            c->chunk[static_cast<std::size_t>(i)] = wav[i] / 32768.0f;
        c->envelope.push(c->chunk.data(), c->chunk.size());
        if (c->keepSamples)
            c->samples.insert(c->samples.end(), c->chunk.begin(), c->chunk.end());
    }
    for (espeak_EVENT *e = events; e && e->type != espeakEVENT_LIST_TERMINATED; ++e) {
        if (e->type == espeakEVENT_WORD) {
            c->wordEvents.emplace_back(e->text_position - 1, e->audio_position);
            c->wordLengths.push_back(e->length);
        }
    }
    if (c->clock.elapsed() > c->timeout * 1000) {
        c->timedOut = true;
        return 1; // stop the synthesis
    }
    return 0;
}

} // namespace

bool isAvailable() {
    std::lock_guard lock(engineMutex());
    return initialise() > 0;
}

std::optional<SpeechRhythm::Rendering> render(const QString &text, const QString &voice,
                                              double timeoutSeconds, bool keepSamples,
                                              int wordsPerMinute) {
    std::lock_guard lock(engineMutex());
    const int rate = initialise();
    if (rate <= 0)
        return std::nullopt;
    espeak_SetSynthCallback(onSynth);
    if (!voice.isEmpty() && espeak_SetVoiceByName(voice.toUtf8().constData()) != EE_OK)
        return std::nullopt;
    if (voice.isEmpty())
        espeak_SetVoiceByName("en");
    // The rate is global to the library: set on every rendering.
    espeak_SetParameter(espeakRATE, wordsPerMinute, 0);

    Collector collector(rate);
    collector.keepSamples = keepSamples;
    collector.timeout = timeoutSeconds;
    collector.clock.start();
    const QByteArray utf8 = text.toUtf8();
    espeak_Synth(utf8.constData(), static_cast<size_t>(utf8.size()) + 1, 0, POS_CHARACTER, 0,
                 espeakCHARS_UTF8, nullptr, &collector);
    espeak_Synchronize();
    if (collector.timedOut || !(collector.envelope.seconds() > 0))
        return std::nullopt;

    // espeak-ng counts characters in code points; the script counts UTF-16 units.
    std::vector<int> utf16At;
    utf16At.reserve(static_cast<size_t>(text.size()) + 1);
    for (qsizetype i = 0; i < text.size(); ++i) {
        utf16At.push_back(static_cast<int>(i));
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
    }
    utf16At.push_back(static_cast<int>(text.size()));
    const auto toUtf16 = [&](int codePoint) {
        return utf16At[static_cast<size_t>(
            std::clamp<int>(codePoint, 0, static_cast<int>(utf16At.size()) - 1))];
    };

    SpeechRhythm::Rendering r;
    r.samples = std::move(collector.samples);
    r.sampleRate = rate;
    r.envelope = collector.envelope.finish();
    r.duration = collector.envelope.seconds();
    for (size_t i = 0; i < collector.wordEvents.size(); ++i) {
        const auto [position, ms] = collector.wordEvents[i];
        const int from = toUtf16(position);
        const int to = toUtf16(position + std::max(0, collector.wordLengths[i]));
        r.markers.push_back({from, to - from, ms / 1000.0});
    }
    return r;
}

std::optional<std::vector<WordRhythm>> measure(const QString &text, const QString &voice) {
    const ScriptWords words(text);
    if (words.count() == 0)
        return std::vector<WordRhythm>();
    const double timeout = text.size() / 50.0 + 30;
    const auto rendering = render(text, voice, timeout, false);
    if (!rendering)
        return std::nullopt;
    return SpeechRhythm::fromRendering(words, *rendering);
}

QString ipa(const QString &text, const QString &voice) {
    std::lock_guard lock(engineMutex());
    if (initialise() <= 0)
        return {};
    const QByteArray name = (voice.isEmpty() ? QStringLiteral("en") : voice).toUtf8();
    if (espeak_SetVoiceByName(name.constData()) != EE_OK)
        return {};
    const QByteArray utf8 = text.toUtf8();
    const void *at = utf8.constData();
    QString out;
    // One clause per call; the pointer becomes null at the end of the text.
    while (at) {
        const char *phonemes = espeak_TextToPhonemes(&at, espeakCHARS_UTF8, espeakPHONEMES_IPA);
        if (!phonemes)
            break;
        if (!out.isEmpty())
            out += QLatin1Char(' ');
        out += QString::fromUtf8(phonemes);
    }
    return out.trimmed();
}

} // namespace EspeakRenderer

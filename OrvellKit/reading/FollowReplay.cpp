#include "reading/FollowReplay.h"

#include "playback/ScrollEngine.h"
#include "playback/TickSource.h"
#include "reading/SelectedScript.h"
#include "reading/VoiceFollow.h"
#include "settings/ReadingPreferences.h"
#include "settings/SettingsStore.h"
#include "voice/SpeechListener.h"
#include "voice/WavFileSource.h"

#include <QCoreApplication>

namespace FollowReplay {

namespace {

// Frames come from the replay loop, one per stretch of audio.
struct ReplayClock : TickSource {
    void start() override { running = true; }
    void stop() override { running = false; }
    bool running = false;
};

// Lets queued work reach its receivers. Each round is one hop from the GUI
// thread to the decoding thread and back; starting to listen takes two
// (build the recogniser, then open the source), a chunk of audio one.
void settle(SpeechListener *listener) {
    for (int i = 0; i < 2; ++i) {
        if (listener)
            listener->waitUntilIdle();
        QCoreApplication::sendPostedEvents();
    }
}

} // namespace

Outcome run(const QString &script, const std::vector<float> &audio16k,
            const std::function<void(const Step &)> &onStep, double chunkSeconds) {
    return run(
        script, [&audio16k] { return std::make_unique<WavFileSource>(audio16k); }, onStep,
        chunkSeconds);
}

Outcome run(const QString &script, const std::function<std::unique_ptr<WavFileSource>()> &openAudio,
            const std::function<void(const Step &)> &onStep, double chunkSeconds) {
    Outcome out;
    auto settings = SettingsStore::inMemory();
    ReadingPreferences prefs(*settings);
    prefs.setVoiceFollowEnabled(true);
    prefs.setVoiceFollowLocale(QStringLiteral("en_US"));
    ScrollEngine scroll(160);
    auto clock = std::make_shared<ReplayClock>();
    scroll.attach(clock);
    FixedScript reading(script);

    SpeechListener *listener = nullptr;
    WavFileSource *source = nullptr;
    VoiceFollow voice({[&](const ScriptWords &words) {
                           auto l = std::make_unique<SpeechListener>(words, [&] {
                               auto s = openAudio();
                               // A second of silence closes the last utterance.
                               s->setTrailingSilence(1.0);
                               source = s.get();
                               return std::unique_ptr<AudioSource>(std::move(s));
                           });
                           listener = l.get();
                           return std::unique_ptr<VoiceListener>(std::move(l));
                       },
                       &SpeechDecoder::hasModelFor, &SpeechDecoder::installedLocales});
    voice.setViewportWidth(364);
    voice.attach(prefs, scroll, reading);
    out.words = ScriptWords(script).count();
    if (!voice.isAvailable()) {
        out.error = QStringLiteral("The speech model is not installed.");
        return out;
    }
    scroll.play();
    settle(listener);
    if (voice.state().kind != VoiceFollowState::Kind::listening || !source) {
        out.error = voice.state().message.isEmpty() ? QStringLiteral("Listening did not start.")
                                                    : voice.state().message;
        return out;
    }

    int cursor = 0;
    bool more = true;
    while (more) {
        more = source->pump(chunkSeconds);
        settle(listener);
        if (clock->running && clock->onTick)
            clock->onTick(chunkSeconds);
        if (voice.cursor() != cursor) {
            cursor = voice.cursor();
            const Step step{source->delivered(), cursor};
            out.steps.push_back(step);
            if (onStep)
                onStep(step);
        }
        out.glow.emplace_back(source->delivered(), voice.glowFront());
        if (voice.state().kind == VoiceFollowState::Kind::failed) {
            out.error = voice.state().message;
            break;
        }
    }
    out.cursor = voice.cursor();
    scroll.pause();
    return out;
}

} // namespace FollowReplay

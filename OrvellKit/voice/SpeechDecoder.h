#pragma once

#include "voice/UtteranceGate.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

class SpeechVocabulary;
struct ps_decoder_s;

// A recogniser: 16 kHz mono samples in, the growing hypothesis of the
// current utterance out, final when the utterance closed. Not thread-safe:
// one thread feeds it.
class SpeechRecognizer {
public:
    struct Result {
        QString text;
        bool isFinal = false;
        bool operator==(const Result &) const = default;
    };

    virtual ~SpeechRecognizer() = default;
    // The results the samples produced, in order.
    virtual std::vector<Result> feed(const float *samples, std::size_t count) = 0;
};

// PocketSphinx over one script's vocabulary. Utterances close at pauses in
// the audio, found by an energy gate relative to the noise floor.
class SpeechDecoder : public SpeechRecognizer {
public:
    // Where the installed US English model lives.
    static QString acousticModelPath();
    static QString dictionaryPath();
    static bool isModelInstalled();
    // Whether the installed model understands a locale ("en_GB", "en-US").
    static bool supportsLocale(const QString &locale);
    // Both: voice follow can listen in this language here.
    static bool hasModelFor(const QString &locale);
    // The languages the installed models understand, as locale names.
    static QStringList installedLocales();
    // Where this run's lighter copy of the model is (see CompactModel);
    // empty when it could not be made and the installed one is used.
    static QString compactModelFolder();

    // Loads the acoustic model with the vocabulary's dictionary and
    // language model; nothing and an error sentence when that fails.
    static std::unique_ptr<SpeechDecoder> create(const SpeechVocabulary &vocabulary,
                                                 QString *error);
    ~SpeechDecoder() override;

    // The hypothesis when it changed, and a final result at each closed
    // utterance.
    std::vector<Result> feed(const float *samples, std::size_t count) override;

private:
    SpeechDecoder() = default;
    std::optional<Result> closeUtterance();
    void process(const float *samples, std::size_t count);
    void reportHypothesis(std::vector<Result> &out);

    static constexpr std::size_t hypothesisInterval = UtteranceGate::sampleRate / 10;

    ps_decoder_s *m_decoder = nullptr;
    UtteranceGate m_gate;
    bool m_inUtterance = false;
    QString m_hypothesis;
    std::size_t m_sinceHypothesis = 0;
    std::vector<short> m_pcm;
    // The audio just before speech began, so the first sound is not cut.
    std::vector<float> m_preroll;
};

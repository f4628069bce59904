#include "voice/SpeechListener.h"
#include "voice/AudioSource.h"
#include "voice/SpeechVocabulary.h"
#include "voice/WavFileSource.h"

#include "support/QtPrinters.h"
#include "support/WavBytes.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cmath>
#include <future>

namespace {

// Hands out scripted results: each chunk of audio whose first sample is n
// yields the n-th prepared batch.
struct FakeRecognizer : SpeechRecognizer {
    std::vector<std::vector<Result>> batches;
    std::vector<Result> feed(const float *samples, std::size_t count) override {
        const auto n = count ? static_cast<size_t>(samples[0]) : batches.size();
        return n < batches.size() ? batches[n] : std::vector<Result>{};
    }
};

// An audio source the test pushes by hand.
struct PushSource : AudioSource {
    Sink sink;
    bool refuse = false;
    bool start(Sink s, QString *error) override {
        if (refuse) {
            *error = accessOffMessage();
            return false;
        }
        sink = std::move(s);
        return true;
    }
    void stop() override { sink = nullptr; }
    void push(float batch) { sink(&batch, 1); }
};

struct ListenerFixture : ::testing::Test {
    std::vector<std::vector<SpeechRecognizer::Result>> batches;
    std::vector<VoiceFollowState> states;
    std::vector<QStringList> heard;
    PushSource *source = nullptr;
    bool refuse = false;
    int decodersMade = 0;
    std::unique_ptr<SpeechListener> listener;

    void make() {
        listener = std::make_unique<SpeechListener>(
            ScriptWords("the words do not matter to a fake"),
            [this] {
                auto s = std::make_unique<PushSource>();
                s->refuse = refuse;
                source = s.get();
                return std::unique_ptr<AudioSource>(std::move(s));
            },
            [this](const ScriptWords &, QString *error) -> std::unique_ptr<SpeechRecognizer> {
                ++decodersMade;
                if (batches.empty()) {
                    *error = "The speech model could not be loaded.";
                    return nullptr;
                }
                auto r = std::make_unique<FakeRecognizer>();
                r->batches = batches;
                return r;
            });
        listener->onState = [this](const VoiceFollowState &s) { states.push_back(s); };
        listener->onHeard = [this](const QStringList &keys) { heard.push_back(keys); };
    }
    void settle() {
        for (int i = 0; i < 3; ++i) {
            listener->waitUntilIdle();
            QCoreApplication::sendPostedEvents();
        }
    }
};

using Kind = VoiceFollowState::Kind;

} // namespace

TEST_F(ListenerFixture, volatileResultsExtendTheFinalisedWordsAndFinalOnesReplaceThem) {
    batches = {{{"a b", true}},
               {{"hello wor", false}},
               {{"hello world", true}},
               {{"", false}},
               {{"one two three four five six seven", true}}};
    make();
    listener->start("en_US", {});
    settle();
    ASSERT_EQ(listener->state().kind, Kind::listening);
    EXPECT_EQ(states.front().kind, Kind::preparing);

    for (float b : {0.f, 1.f, 2.f, 3.f, 4.f})
        source->push(b);
    settle();
    ASSERT_EQ(heard.size(), 5u);
    EXPECT_EQ(heard[0], (QStringList{"a", "b"}));
    EXPECT_EQ(heard[1], (QStringList{"a", "b", "hello", "wor"}));
    EXPECT_EQ(heard[2], (QStringList{"a", "b", "hello", "world"}));
    EXPECT_EQ(heard[3], (QStringList{"a", "b", "hello", "world"})); // empty text
    // Never more than eight finalised keys.
    EXPECT_EQ(heard[4],
              (QStringList{"world", "one", "two", "three", "four", "five", "six", "seven"}));

    listener->stop();
    EXPECT_EQ(listener->state().kind, Kind::off);
    EXPECT_TRUE(listener->finalized().isEmpty());
}

TEST_F(ListenerFixture, anAbandonedRunNeverReportsAnything) {
    batches = {{{"late words", true}}};
    make();
    // Two starts in a row: only the second listens. The first may already be
    // building its recogniser on the worker (how far it got is a matter of
    // timing); what it built is dropped unheard.
    listener->start("en_US", {});
    listener->start("en_US", {});
    settle();
    EXPECT_GE(decodersMade, 1);
    EXPECT_LE(decodersMade, 2);
    EXPECT_EQ(std::count_if(states.begin(), states.end(),
                            [](const auto &s) { return s.kind == Kind::listening; }),
              1);

    // Audio already queued when listening stops is dropped, and the last
    // word is `off`.
    source->push(0);
    listener->stop();
    settle();
    EXPECT_TRUE(heard.empty());
    EXPECT_EQ(states.back().kind, Kind::off);

    // Stopping while the recogniser is still being built: it finishes, but
    // nothing more is set up.
    states.clear();
    listener->start("en_US", {});
    listener->stop();
    settle();
    EXPECT_EQ(states.back().kind, Kind::off);
    EXPECT_EQ(listener->source(), nullptr);
}

TEST_F(ListenerFixture, failuresSayWhatWentWrong) {
    make();
    listener->start("de_DE", {});
    EXPECT_EQ(listener->state(),
              (VoiceFollowState{Kind::failed, 0, "Speech recognition does not support German."}));
    EXPECT_EQ(SpeechListener::unsupportedLanguageMessage("xx"),
              "Speech recognition does not support xx.");

    listener->start("en_US", {}); // no model: the recogniser's own reason
    settle();
    EXPECT_EQ(listener->state().message, "The speech model could not be loaded.");

    batches = {{}};
    refuse = true;
    listener->start("en_GB", {});
    settle();
    EXPECT_EQ(listener->state(), (VoiceFollowState{Kind::failed, 0,
                                                   "Microphone access is off. Turn it on in the "
                                                   "sound settings."}));
    EXPECT_EQ(listener->source(), nullptr);
}

TEST(SpeechVocabulary, pronouncesScriptWordsNumbersAndNamesAsTheyAreSaid) {
    QTemporaryDir dir;
    const QString dictPath = dir.filePath("test.dict");
    QFile dict(dictPath);
    ASSERT_TRUE(dict.open(QIODevice::WriteOnly));
    dict.write("don't D OW N T\nread R EH D\nread(2) R IY D\nnineteen N AY N T IY N\n"
               "sixty S IH K S T IY\ntwo T UW\nfive F AY V\ndollars D AA L ER Z\n"
               "the DH AH\nthe(2) DH IY\n");
    dict.close();

    const ScriptWords words("Don\u2019t read. In 1962 the $5 Zorblax");
    const SpeechVocabulary v = SpeechVocabulary::build(words, dictPath);
    // Recogniser words are the script's keys, so results map straight back.
    EXPECT_EQ(v.pronunciations.value("dont"), QStringList{"D OW N T"});
    EXPECT_EQ(v.pronunciations.value("read"), (QStringList{"R EH D", "R IY D"}));
    EXPECT_EQ(v.pronunciations.value("1962"), QStringList{"N AY N T IY N S IH K S T IY T UW"});
    EXPECT_EQ(v.pronunciations.value("5"), QStringList{"F AY V D AA L ER Z"});
    // A word the dictionary lacks is pronounced by espeak-ng.
    EXPECT_TRUE(v.voiced.contains("zorblax"));
    EXPECT_EQ(v.pronunciations.value("zorblax"), QStringList{"Z OW R B L AE K S"});
    EXPECT_TRUE(v.voiced.contains("in"));
    EXPECT_TRUE(v.unpronounceable.isEmpty());
    // Sentences split at full stops.
    ASSERT_EQ(v.sentences.size(), 2u);
    EXPECT_EQ(v.sentences[0], (QStringList{"dont", "read"}));
    EXPECT_EQ(v.sentences[1], (QStringList{"in", "1962", "the", "5", "zorblax"}));
    EXPECT_TRUE(v.dictionaryText().contains("read(2) R IY D\n"));

    EXPECT_EQ(SpeechVocabulary::phonesFromIpa(QString::fromUtf8("tʃˈɜːtʃ")),
              (QStringList{"CH", "ER", "CH"}));
    EXPECT_EQ(SpeechVocabulary::phonesFromIpa(QString::fromUtf8("həlˈoʊ")),
              (QStringList{"HH", "AH", "L", "OW"}));
}

namespace {

// The probabilities of an ARPA model by n-gram, and the back-off weights.
struct Arpa {
    std::map<QString, double> prob, backoff;
    double p(const QStringList &history, const QString &w) const {
        const QString gram = (history + QStringList{w}).join(' ');
        if (prob.count(gram))
            return prob.at(gram);
        if (history.isEmpty())
            return 0;
        const QString h = history.join(' ');
        const double b = backoff.count(h) ? backoff.at(h) : 1.0;
        return b * p(history.mid(1), w);
    }
};

Arpa parse(const QString &text) {
    Arpa a;
    int order = 0;
    for (const QString &line : text.split('\n')) {
        if (line.startsWith("\\") && line.endsWith("-grams:")) {
            order = line.mid(1, 1).toInt();
            continue;
        }
        const QStringList f = line.split(' ', Qt::SkipEmptyParts);
        if (order == 0 || f.size() < order + 1)
            continue;
        const QString gram = f.mid(1, order).join(' ');
        a.prob[gram] = std::pow(10.0, f[0].toDouble());
        if (f.size() > order + 1)
            a.backoff[gram] = std::pow(10.0, f[order + 1].toDouble());
    }
    return a;
}

} // namespace

TEST(SpeechVocabulary, theTrigramModelIsAProperDistributionAfterEveryHistory) {
    const std::vector<QStringList> sentences = {
        {"we", "go", "home"}, {"we", "go", "out"}, {"they", "stay", "home"}};
    const QStringList extra = {"okay", "home"};
    const Arpa a = parse(wittenBellArpa(sentences, extra, 0.1));
    QStringList vocabulary = {"we", "go", "home", "out", "they", "stay", "okay", "</s>"};
    for (const QStringList &h :
         {QStringList{}, QStringList{"<s>"}, QStringList{"we"}, QStringList{"<s>", "we"},
          QStringList{"we", "go"}, QStringList{"go", "home"}, QStringList{"okay"}}) {
        double sum = 0;
        for (const QString &w : vocabulary)
            sum += a.p(h, w);
        EXPECT_NEAR(sum, 1.0, 1e-4) << h.join(' ').toStdString();
    }
    // The script's own continuation is the likeliest; everyday words keep a share.
    EXPECT_GT(a.p({"we", "go"}, "home"), 0.4);
    EXPECT_GT(a.p({"we", "go"}, "okay"), 0);
    EXPECT_NEAR(a.p({}, "okay"), 0.1 / 2, 1e-6);
}

TEST(AudioResampler, keepsSpeechAndDropsWhatCannotBeRepresented) {
    const auto toneAt = [](int rate, double hz, int channels, double seconds) {
        std::vector<float> out;
        for (int i = 0; i < static_cast<int>(rate * seconds); ++i)
            for (int c = 0; c < channels; ++c)
                out.push_back(static_cast<float>(0.5 * std::sin(2 * M_PI * hz * i / rate)));
        return out;
    };
    const auto rms = [](const std::vector<float> &s, size_t from) {
        double sum = 0;
        for (size_t i = from; i < s.size(); ++i)
            sum += s[i] * s[i];
        return std::sqrt(sum / static_cast<double>(s.size() - from));
    };
    for (int rate : {22050, 44100, 48000}) {
        // A 1 kHz tone survives at its level; pushed in odd pieces, like a device delivers.
        const auto in = toneAt(rate, 1000, 2, 1.0);
        AudioResampler r(rate, 2);
        std::vector<float> out;
        for (size_t at = 0; at < in.size() / 2; at += 1001)
            r.push(in.data() + at * 2, std::min<size_t>(1001, in.size() / 2 - at), out);
        EXPECT_NEAR(static_cast<double>(out.size()), 16000, 20) << rate;
        EXPECT_NEAR(rms(out, 100), 0.5 / std::sqrt(2.0), 0.02) << rate;
        // A 10 kHz tone would fold back into the speech band: it is filtered out.
        const auto high = toneAt(rate, 10000, 1, 1.0);
        std::vector<float> gone;
        AudioResampler(rate, 1).push(high.data(), high.size(), gone);
        EXPECT_LT(rms(gone, 100), 0.03) << rate;
    }
}

TEST(WavFileSource, readsPcmRecordingsAndRefusesOtherFiles) {
    QTemporaryDir dir;
    // 8 kHz stereo 16-bit: a constant level in each channel.
    WavHeader header;
    header.channels = 2;
    header.rate = 8000;
    header.blockAlign = 4;
    const QByteArray wav =
        wavBytes(header, 8000, [](int, int channel) { return qint16(channel == 0 ? 16384 : 0); });
    QFile f(dir.filePath("a.wav"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(wav);
    f.close();
    QString error;
    const auto samples = WavFileSource::read(f.fileName(), &error);
    ASSERT_TRUE(samples) << error.toStdString();
    EXPECT_NEAR(static_cast<double>(samples->size()), 16000, 40);
    EXPECT_NEAR((*samples)[8000], 0.25, 0.01); // the channels' average

    WavFileSource source(*samples);
    size_t got = 0;
    ASSERT_TRUE(source.start([&](const float *, size_t n) { got += n; }, nullptr));
    while (source.pump(0.1)) {
    }
    EXPECT_EQ(got, samples->size());
    EXPECT_FALSE(source.pump(0.1));

    QFile text(dir.filePath("b.wav"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not audio at all");
    text.close();
    EXPECT_FALSE(WavFileSource::read(text.fileName(), &error));
    EXPECT_EQ(error, "not a WAV file");
}

#include "ReadingCorpus.h"

#include "pace/EspeakRenderer.h"
#include "pace/SpeechRhythm.h"
#include "voice/AudioSource.h"

#include <QFile>

#include <flite/flite.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>

extern "C" {
cst_voice *register_cmu_us_slt(const char *voxdir);
cst_voice *register_cmu_us_rms(const char *voxdir);
cst_voice *register_cmu_us_awb(const char *voxdir);
}

namespace ReadingCorpus {

namespace {

constexpr double gapSeconds = 0.35; // between passages synthesized apart

struct Spoken {
    std::vector<float> audio;                     // 16 kHz
    std::vector<std::pair<double, double>> words; // start and end of each word of the text
    QString error;
};

std::vector<float> to16k(const float *samples, std::size_t count, int rate) {
    std::vector<float> out;
    AudioResampler(rate, 1).push(samples, count, out);
    return out;
}

Spoken speakEspeak(const QString &text, const Voice &voice) {
    Spoken s;
    const int wpm =
        static_cast<int>(std::lround(EspeakRenderer::defaultWordsPerMinute * voice.speed));
    std::srand(1); // in case a voice variant draws on rand()
    const auto rendering = EspeakRenderer::render(text, voice.name, 120, true, wpm);
    if (!rendering) {
        s.error = QStringLiteral("espeak-ng could not say it with ") + voice.name;
        return s;
    }
    const ScriptWords words(text);
    const auto rhythm = SpeechRhythm::fromRendering(words, *rendering);
    const double duration = static_cast<double>(rendering->samples.size()) / rendering->sampleRate;
    const auto starts = SpeechRhythm::wordStarts(words, rendering->markers, duration);
    if (!rhythm || starts.size() != rhythm->size()) {
        s.error = QStringLiteral("espeak-ng gave no word timing");
        return s;
    }
    for (size_t i = 0; i < starts.size(); ++i)
        s.words.emplace_back(starts[i], starts[i] + (*rhythm)[i].speak);
    s.audio = to16k(rendering->samples.data(), rendering->samples.size(),
                    static_cast<int>(rendering->sampleRate));
    return s;
}

cst_voice *fliteVoice(const QString &name) {
    static const bool initialised = (flite_init(), true);
    (void)initialised;
    static cst_voice *slt = nullptr, *rms = nullptr, *awb = nullptr;
    if (name == QLatin1String("slt"))
        return slt ? slt : (slt = register_cmu_us_slt(nullptr));
    if (name == QLatin1String("rms"))
        return rms ? rms : (rms = register_cmu_us_rms(nullptr));
    if (name == QLatin1String("awb"))
        return awb ? awb : (awb = register_cmu_us_awb(nullptr));
    return nullptr;
}

// flite times its own tokens (whitespace-separated, punctuation stripped);
// the scripts here are written so each token is one script word.
Spoken speakFlite(const QString &text, const Voice &voice) {
    Spoken s;
    cst_voice *v = fliteVoice(voice.name);
    if (!v) {
        s.error = QStringLiteral("flite has no voice ") + voice.name;
        return s;
    }
    feat_set_float(v->features, "duration_stretch", static_cast<float>(1.0 / voice.speed));
    // The voices' excitation noise comes from rand(): seeded, so a reading
    // sounds the same whatever ran before it.
    std::srand(1);
    cst_utterance *u = flite_synth_text(text.toUtf8().constData(), v);
    if (!u) {
        s.error = QStringLiteral("flite could not say it");
        return s;
    }
    cst_wave *w = utt_wave(u);
    std::vector<float> samples(static_cast<size_t>(cst_wave_num_samples(w)));
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = cst_wave_samples(w)[i] / 32768.0f;
    s.audio = to16k(samples.data(), samples.size(), cst_wave_sample_rate(w));
    for (cst_item *t = relation_head(utt_relation(u, "Token")); t; t = item_next(t)) {
        cst_item *first = item_daughter(item_as(t, "Token"));
        cst_item *last = item_last_daughter(item_as(t, "Token"));
        if (!first)
            continue;
        const double start =
            ffeature_float(first, "R:Word.R:SylStructure.daughter1.daughter1.R:Segment.p.end");
        const double end =
            ffeature_float(last, "R:Word.R:SylStructure.daughtern.daughtern.R:Segment.end");
        s.words.emplace_back(start, end);
    }
    delete_utterance(u);
    const int expected = ScriptWords(text).count();
    if (static_cast<int>(s.words.size()) != expected)
        s.error = QStringLiteral("flite said %1 words where the text has %2")
                      .arg(s.words.size())
                      .arg(expected);
    return s;
}

void addNoise(std::vector<float> &audio, double snrDb, unsigned seed) {
    // Speech level over the frames that carry speech, so silences do not
    // water it down.
    const size_t frame = AudioSource::sampleRate / 50;
    std::vector<double> levels;
    for (size_t at = 0; at + frame <= audio.size(); at += frame) {
        double sum = 0;
        for (size_t i = at; i < at + frame; ++i)
            sum += audio[i] * audio[i];
        levels.push_back(sum / frame);
    }
    const double loudest = levels.empty() ? 0 : *std::max_element(levels.begin(), levels.end());
    double speech = 0;
    int counted = 0;
    for (double l : levels)
        if (l > loudest * 1e-3) {
            speech += l;
            ++counted;
        }
    if (counted == 0)
        return;
    const double speechRms = std::sqrt(speech / counted);
    // Pink noise (Paul Kellet's filter over white noise), then scaled.
    std::mt19937 random(seed);
    std::normal_distribution<double> white(0, 1);
    std::vector<double> pink(audio.size());
    double b0 = 0, b1 = 0, b2 = 0, b3 = 0, b4 = 0, b5 = 0, b6 = 0, sum = 0;
    for (double &p : pink) {
        const double x = white(random);
        b0 = 0.99886 * b0 + x * 0.0555179;
        b1 = 0.99332 * b1 + x * 0.0750759;
        b2 = 0.96900 * b2 + x * 0.1538520;
        b3 = 0.86650 * b3 + x * 0.3104856;
        b4 = 0.55000 * b4 + x * 0.5329522;
        b5 = -0.7616 * b5 - x * 0.0168980;
        p = b0 + b1 + b2 + b3 + b4 + b5 + b6 + x * 0.5362;
        b6 = x * 0.115926;
        sum += p * p;
    }
    const double noiseRms = std::sqrt(sum / std::max<size_t>(1, pink.size()));
    const double gain = speechRms / std::pow(10.0, snrDb / 20) / noiseRms;
    for (size_t i = 0; i < audio.size(); ++i)
        audio[i] = std::clamp(static_cast<float>(audio[i] + gain * pink[i]), -1.0f, 1.0f);
}

double percentile(std::vector<double> v, double p) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())))];
}

} // namespace

double Reading::seconds() const {
    return static_cast<double>(audio.size()) / AudioSource::sampleRate;
}

int Reading::place(double t) const {
    int at = 0;
    for (const auto &w : words)
        if (w.script >= 0 && w.end <= t)
            at = w.script + 1;
    return at;
}

namespace {

// The furthest script word whose `moment` (start or end) has come by `t`, plus one.
int furthestBy(const std::vector<SaidWord> &words, double t, double SaidWord::*moment) {
    int at = 0;
    for (const auto &w : words)
        if (w.script >= 0 && w.*moment <= t)
            at = std::max(at, w.script + 1);
    return at;
}

} // namespace

int Reading::furthest(double t) const {
    return furthestBy(words, t, &SaidWord::end);
}

int Reading::started(double t) const {
    return furthestBy(words, t, &SaidWord::start);
}

QString scriptText(const QString &name) {
    QFile f(QStringLiteral(ORVELL_CORPUS_DIR "/") + name + QStringLiteral(".txt"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).trimmed();
}

namespace {

struct Sentence {
    int firstWord = 0;
    int endWord = 0; // one past the last
    int location = 0;
    int length = 0;
};

std::vector<Sentence> sentences(const QString &text, const ScriptWords &words) {
    std::vector<Sentence> out;
    int from = 0;
    const auto close = [&](int to) {
        Sentence s{-1, -1, from, to - from};
        for (int i = 0; i < words.count(); ++i) {
            const auto &w = words.words[static_cast<size_t>(i)];
            if (w.location >= from && w.location < to) {
                if (s.firstWord < 0)
                    s.firstWord = i;
                s.endWord = i + 1;
            }
        }
        if (s.firstWord >= 0)
            out.push_back(s);
        from = to;
    };
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if ((c == u'.' || c == u'!' || c == u'?') &&
            (i + 1 == text.size() || text.at(i + 1).isSpace()))
            close(i + 1);
        while (from < text.size() && from == i + 1 && text.at(from).isSpace())
            ++from;
    }
    if (from < text.size())
        close(static_cast<int>(text.size()));
    return out;
}

// Where each paragraph's first sentence is, by sentence index.
std::vector<int> paragraphStarts(const QString &text, const std::vector<Sentence> &sentences) {
    std::vector<int> out;
    for (size_t i = 0; i < sentences.size(); ++i) {
        const int at = sentences[i].location;
        if (i == 0 || text.lastIndexOf(QStringLiteral("\n\n"), at) > sentences[i - 1].location)
            out.push_back(static_cast<int>(i));
    }
    return out;
}

} // namespace

Reading synthesize(const Case &c) {
    Reading r;
    const QString text = scriptText(c.script);
    if (text.isEmpty()) {
        r.error = QStringLiteral("no script ") + c.script;
        return r;
    }
    const ScriptWords words(text);
    const auto all = sentences(text, words);
    // The reader says the script, not its cues and headings.
    const QString spoken = words.spokenText();
    const auto say = [&](const QString &what, int firstScriptWord) {
        const Spoken s = c.voice.engine == Engine::espeak ? speakEspeak(what, c.voice)
                                                          : speakFlite(what, c.voice);
        if (!s.error.isEmpty()) {
            r.error = s.error;
            return;
        }
        const double offset = r.seconds();
        for (size_t i = 0; i < s.words.size(); ++i)
            r.words.push_back({firstScriptWord < 0 ? -1 : firstScriptWord + static_cast<int>(i),
                               offset + s.words[i].first, offset + s.words[i].second});
        r.audio.insert(r.audio.end(), s.audio.begin(), s.audio.end());
        r.audio.resize(r.audio.size() + static_cast<size_t>(gapSeconds * AudioSource::sampleRate));
    };
    r.audio.resize(AudioSource::sampleRate / 2);
    for (const Passage &p : c.passages) {
        switch (p.kind) {
        case Passage::Kind::sentences: {
            const Sentence &a = all.at(static_cast<size_t>(p.from));
            const Sentence &b = all.at(static_cast<size_t>(p.to - 1));
            say(spoken.mid(a.location, b.location + b.length - a.location), a.firstWord);
            break;
        }
        case Passage::Kind::partOfSentence: {
            const Sentence &s = all.at(static_cast<size_t>(p.from));
            const auto &last = words.words.at(static_cast<size_t>(s.firstWord + p.to - 1));
            say(spoken.mid(s.location, last.end() - s.location), s.firstWord);
            break;
        }
        case Passage::Kind::adLib:
            say(p.text, -1);
            break;
        case Passage::Kind::pause:
            r.audio.resize(r.audio.size() +
                           static_cast<size_t>(p.seconds * AudioSource::sampleRate));
            break;
        }
        if (!r.error.isEmpty())
            return r;
    }
    if (c.noiseSnrDb != 0)
        addNoise(r.audio, c.noiseSnrDb, static_cast<unsigned>(qHash(c.script + c.name)));
    return r;
}

std::vector<Case> all() {
    std::vector<Case> out;
    const Voice espeak{Engine::espeak, QStringLiteral("en-us")};
    const Voice espeakF{Engine::espeak, QStringLiteral("en-us+f2")};
    const Voice espeakM{Engine::espeak, QStringLiteral("en-us+m3")};
    const Voice slt{Engine::flite, QStringLiteral("slt")};
    const Voice rms{Engine::flite, QStringLiteral("rms")};
    const Voice awb{Engine::flite, QStringLiteral("awb")};
    for (const QString &script : {QStringLiteral("checklist"), QStringLiteral("talk"),
                                  QStringLiteral("story"), QStringLiteral("toast")}) {
        const QString text = scriptText(script);
        const auto ss = sentences(text, ScriptWords(text));
        const auto paragraphs = paragraphStarts(text, ss);
        const int n = static_cast<int>(ss.size());
        const auto straight = [&](const QString &name, Voice voice, double noise = 0) {
            out.push_back({script, name, voice, {Passage::read(0, n)}, noise});
        };
        straight(QStringLiteral("straight"), espeak);
        straight(QStringLiteral("straight"), espeakF);
        straight(QStringLiteral("straight"), slt);
        straight(QStringLiteral("straight"), rms);
        straight(QStringLiteral("straight"), awb);
        straight(QStringLiteral("slow"), Voice{Engine::espeak, espeakM.name, 0.7});
        straight(QStringLiteral("slow"), Voice{Engine::flite, rms.name, 0.75});
        straight(QStringLiteral("fast"), Voice{Engine::espeak, espeak.name, 1.3});
        straight(QStringLiteral("fast"), Voice{Engine::flite, slt.name, 1.3});
        straight(QStringLiteral("noise"), espeak, 12);
        straight(QStringLiteral("noise"), rms, 12);

        // Ad-libs after the first paragraph and in the middle of the fourth.
        const int p1 = paragraphs.at(1), p3 = paragraphs.at(3);
        out.push_back(
            {script,
             QStringLiteral("ad-libs"),
             espeakM,
             {Passage::read(0, p1),
              Passage::adLibbed(QStringLiteral("Before I go on, let me just say how "
                                               "happy I am to see so many of you here "
                                               "today.")),
              Passage::read(p1, p3 + 1),
              Passage::adLibbed(QStringLiteral("And honestly, this is the part I like the most.")),
              Passage::read(p3 + 1, n)}});

        // A stumble restarted from the top of its sentence, and later a whole
        // sentence said again.
        const int stumble = paragraphs.at(2) + 1;
        const int again = paragraphs.at(4);
        const int half = (ss[static_cast<size_t>(stumble)].endWord -
                          ss[static_cast<size_t>(stumble)].firstWord) /
                         2;
        for (const Voice &voice : {slt, espeak, rms, espeakF})
            out.push_back({script,
                           QStringLiteral("retakes"),
                           voice,
                           {Passage::read(0, stumble), Passage::cut(stumble, std::max(2, half)),
                            Passage::silence(0.5), Passage::read(stumble, again + 1),
                            Passage::silence(0.4), Passage::read(again, n)}});
        // A sentence said twice straight away, early and late; and a
        // paragraph's last line read again after a pause.
        const int early = paragraphs.at(1);
        const int late = paragraphs.at(3) + 1;
        for (const Voice &voice : {awb, espeakM})
            out.push_back({script,
                           QStringLiteral("said twice"),
                           voice,
                           {Passage::read(0, early + 1), Passage::silence(0.3),
                            Passage::read(early, late + 1), Passage::silence(0.3),
                            Passage::read(late, n)}});
        const int lastLine = paragraphs.at(2) - 1;
        for (const Voice &voice : {rms, espeakF})
            out.push_back({script,
                           QStringLiteral("line again"),
                           voice,
                           {Passage::read(0, lastLine + 1), Passage::silence(1.2),
                            Passage::read(lastLine, n)}});

        // The third paragraph left out.
        for (const Voice &voice : {espeak, rms})
            out.push_back({script,
                           QStringLiteral("skip"),
                           voice,
                           {Passage::read(0, paragraphs.at(2)), Passage::silence(0.6),
                            Passage::read(paragraphs.at(3), n)}});
    }
    // A toast written with headings and cues, read without them: the cursor
    // must pass each cue when the words after it are heard.
    {
        const QString text = scriptText(QStringLiteral("cued"));
        const int n = static_cast<int>(sentences(text, ScriptWords(text)).size());
        for (const Voice &voice : {slt, espeakF})
            out.push_back({QStringLiteral("cued"), QStringLiteral("straight"), voice,
                           {Passage::read(0, n)}});
    }
    return out;
}

Score score(const Reading &reading, const FollowReplay::Outcome &outcome) {
    Score s;
    const auto cursorAt = [&](double t) {
        int cursor = 0;
        for (const auto &step : outcome.steps)
            if (step.seconds <= t + 1e-9)
                cursor = step.cursor;
        return cursor;
    };
    std::vector<int> read;
    std::vector<double> firstEnd;
    for (const auto &w : reading.words)
        if (w.script >= 0 && std::find(read.begin(), read.end(), w.script) == read.end()) {
            read.push_back(w.script);
            firstEnd.push_back(w.end);
        }
    if (read.empty())
        return s;

    int passed = 0;
    std::vector<double> lags;
    for (size_t i = 0; i < read.size(); ++i) {
        passed += outcome.cursor > read[i] ? 1 : 0;
        for (const auto &step : outcome.steps)
            if (step.cursor > read[i]) {
                lags.push_back(step.seconds - firstEnd[i]);
                break;
            }
    }
    s.reached = static_cast<double>(passed) / static_cast<double>(read.size());
    s.lagMedian = percentile(lags, 0.5);
    s.lagP90 = percentile(lags, 0.9);

    bool ahead = false;
    for (const auto &step : outcome.steps) {
        const int by = step.cursor - reading.started(step.seconds);
        s.mostAhead = std::max(s.mostAhead, by);
        if (by > 5 && !ahead)
            ++s.jumpsAhead;
        ahead = by > 5;
    }

    int previous = -1;
    for (const auto &w : reading.words) {
        if (w.script < 0)
            continue;
        if (w.script > previous + 4 && s.foundAfterSkip < 0) {
            s.foundAfterSkip = std::numeric_limits<double>::infinity();
            for (const auto &step : outcome.steps)
                if (step.cursor >= w.script) {
                    s.foundAfterSkip = std::max(0.0, step.seconds - w.start);
                    break;
                }
        }
        previous = std::max(previous, w.script);
    }

    double first = 1e9, last = 0;
    for (const auto &w : reading.words)
        if (w.script >= 0) {
            first = std::min(first, w.end);
            last = std::max(last, w.end);
        }
    constexpr double step = 0.1;
    int close = 0, samples = 0;
    double stuck = 0;
    for (double t = first; t <= last + 1e-9; t += step, ++samples) {
        const int cursor = cursorAt(t);
        const int place = reading.place(t);
        close += std::abs(cursor - place) <= 3 || std::abs(cursor - reading.furthest(t)) <= 3;
        stuck = place - cursor > 3 ? stuck + step : 0;
        s.longestStuck = std::max(s.longestStuck, stuck);
    }
    s.within3 = static_cast<double>(close) / std::max(1, samples);

    // After each retake: from the reader saying a word past where they had
    // been to the cursor being within 3 words of them.
    bool retaking = false, waiting = false;
    double since = 0;
    for (double t = first; t <= last + 1e-9; t += step) {
        const int place = reading.place(t);
        const int furthest = reading.furthest(t);
        if (place + 1 < furthest) {
            retaking = true;
            waiting = false;
            continue;
        }
        if (retaking && place >= furthest) {
            retaking = false;
            waiting = true;
            since = t;
        }
        if (waiting) {
            s.stuckAfterRetake = std::max(s.stuckAfterRetake, t - since);
            if (std::abs(cursorAt(t) - place) <= 3)
                waiting = false;
        }
    }
    if (waiting)
        s.stuckAfterRetake = std::max(s.stuckAfterRetake, last - since);
    return s;
}

} // namespace ReadingCorpus

#include "voice/SpeechDecoder.h"

#include "voice/CompactModel.h"
#include "voice/SpeechVocabulary.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>

#include <pocketsphinx.h>

#include <algorithm>
#include <cmath>

// Debian's pocketsphinx-en-us.
QString SpeechDecoder::acousticModelPath() {
    return QStringLiteral("/usr/share/pocketsphinx/model/en-us/en-us");
}

QString SpeechDecoder::dictionaryPath() {
    return QStringLiteral("/usr/share/pocketsphinx/model/en-us/cmudict-en-us.dict");
}

bool SpeechDecoder::isModelInstalled() {
    // Looked at once: a package installed later is used after a restart.
    static const bool installed =
        QFileInfo(acousticModelPath() + QStringLiteral("/mdef")).isFile() &&
        QFileInfo(dictionaryPath()).isFile();
    return installed;
}

QString SpeechDecoder::compactModelFolder() {
    // Made once a run, on the first start of listening (a fraction of a
    // second), and gone with the app: nothing to go stale when the model
    // package changes.
    static const std::unique_ptr<QTemporaryDir> folder = [] {
        auto made = std::make_unique<QTemporaryDir>();
        const QString error = made->isValid()
                                  ? CompactModel::write(acousticModelPath(), made->path())
                                  : made->errorString();
        if (error.isEmpty())
            return made;
        qWarning("Voice follow listens with the full speech model: %s", qPrintable(error));
        return std::unique_ptr<QTemporaryDir>();
    }();
    return folder ? folder->path() : QString();
}

bool SpeechDecoder::supportsLocale(const QString &locale) {
    // The model is American English; other English accents read it well.
    return QLocale(locale).language() == QLocale::English;
}

bool SpeechDecoder::hasModelFor(const QString &locale) {
    return isModelInstalled() && supportsLocale(locale);
}

QStringList SpeechDecoder::installedLocales() {
    return isModelInstalled() ? QStringList{QStringLiteral("en_US")} : QStringList();
}

std::unique_ptr<SpeechDecoder> SpeechDecoder::create(const SpeechVocabulary &vocabulary,
                                                     QString *error) {
    const auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return nullptr;
    };
    if (!isModelInstalled())
        return fail(QStringLiteral("The speech model is not installed."));
    if (vocabulary.pronunciations.isEmpty())
        return fail(QStringLiteral("The script has no words to listen for."));

    // The decoder reads its dictionary and model from files; they hold only
    // the script's words and live until the decoder has loaded them.
    QTemporaryDir folder;
    if (!folder.isValid())
        return fail(
            QStringLiteral("Could not prepare speech recognition: %1").arg(folder.errorString()));
    const QString dictPath = folder.filePath(QStringLiteral("script.dict"));
    const QString lmPath = folder.filePath(QStringLiteral("script.arpa"));
    for (const auto &[path, text] :
         {std::pair{dictPath, vocabulary.dictionaryText()}, {lmPath, vocabulary.arpaText()}}) {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(text.toUtf8()) < 0)
            return fail(
                QStringLiteral("Could not prepare speech recognition: %1").arg(f.errorString()));
    }

    const QByteArray hmm = QFile::encodeName(acousticModelPath());
    const QByteArray dict = QFile::encodeName(dictPath);
    const QByteArray lm = QFile::encodeName(lmPath);
    // Most of the listening time is the model scoring each 10 ms of speech
    // against its Gaussians; the compact copy has a quarter of them.
    const QString compact = compactModelFolder();
    // The model knows what comes next in the script, so it is trusted more
    // than usual (language weight 10, not 6.5): the first pass, whose
    // hypotheses are what the speaker sees move, then stays on the script.
    // The compact model's broader Gaussians tell sounds apart less sharply,
    // so against them the script weighs 8: at 10 it was heard in ad-libs.
    // No second (flat-lexicon) pass over each utterance and no best path
    // through its word lattice when it closes: the first pass's hypotheses
    // are what the reader is followed by, and the two cost a third of the
    // listening time for no measurable gain on the reading corpus. The
    // backpointer table starts large: PocketSphinx asserts (and so aborts
    // the app) when a hypothesis is asked for at the very frame that filled
    // it, which a table that seldom grows makes all but impossible within an
    // utterance the gate closes at the next pause.
    std::vector<QByteArray> args = {
        "-hmm",     hmm,         "-dict",     dict,    "-lm",      lm,
        "-logfn",   "/dev/null", "-samprate", "16000", "-lw",      compact.isEmpty() ? "10" : "8",
        "-fwdflat", "no",        "-bestpath", "no",    "-latsize", "100000"};
    if (!compact.isEmpty()) {
        const QDir c(compact);
        for (const auto &[option, file] :
             {std::pair{"-mean", "means"}, {"-var", "variances"}, {"-sendump", "sendump"}})
            args.insert(args.end(), {option, QFile::encodeName(c.filePath(QLatin1String(file)))});
    }
    std::vector<char *> argv;
    for (QByteArray &a : args)
        argv.push_back(a.data());
    cmd_ln_t *config =
        cmd_ln_parse_r(nullptr, ps_args(), static_cast<int32>(argv.size()), argv.data(), TRUE);
    if (!config)
        return fail(QStringLiteral("The speech model could not be loaded."));
    ps_decoder_t *decoder = ps_init(config);
    cmd_ln_free_r(config);
    if (!decoder)
        return fail(QStringLiteral("The speech model could not be loaded."));
    std::unique_ptr<SpeechDecoder> out(new SpeechDecoder);
    out->m_decoder = decoder;
    return out;
}

SpeechDecoder::~SpeechDecoder() {
    if (m_decoder) {
        if (m_inUtterance)
            ps_end_utt(m_decoder);
        ps_free(m_decoder);
    }
}

std::vector<SpeechDecoder::Result> SpeechDecoder::feed(const float *samples, std::size_t count) {
    std::vector<Result> out;
    constexpr std::size_t prerollSamples = UtteranceGate::sampleRate / 5; // 0.2 s
    // The gate works on 10 ms frames; feeding it in the same pieces lets an
    // utterance close exactly where the pause reached its length.
    constexpr std::size_t piece = UtteranceGate::frameSamples;
    for (std::size_t at = 0; at < count; at += piece) {
        const std::size_t n = std::min(piece, count - at);
        const bool closed = m_gate.feed(samples + at, n);
        if (m_gate.inSpeech() && !m_inUtterance) {
            ps_start_utt(m_decoder);
            m_inUtterance = true;
            m_hypothesis.clear();
            m_sinceHypothesis = 0;
            process(m_preroll.data(), m_preroll.size());
            m_preroll.clear();
        }
        if (m_inUtterance) {
            process(samples + at, n);
        } else {
            m_preroll.insert(m_preroll.end(), samples + at, samples + at + n);
            if (m_preroll.size() > prerollSamples)
                m_preroll.erase(m_preroll.begin(),
                                m_preroll.begin() +
                                    static_cast<std::ptrdiff_t>(m_preroll.size() - prerollSamples));
        }
        if (closed) {
            if (auto r = closeUtterance())
                out.push_back(*r);
        } else if (m_inUtterance && (m_sinceHypothesis += n) >= hypothesisInterval) {
            // However the audio is cut into chunks, the hypothesis is looked
            // at every tenth of a second of it.
            reportHypothesis(out);
        }
    }
    // No hypothesis at the end of every piece: a microphone hands over 10 to
    // 20 ms at a time, and asking the search for its best path that often
    // cost more than the search. A tenth of a second of audio is the pace.
    return out;
}

void SpeechDecoder::reportHypothesis(std::vector<Result> &out) {
    m_sinceHypothesis = 0;
    const char *hyp = ps_get_hyp(m_decoder, nullptr);
    const QString text = hyp ? QString::fromUtf8(hyp) : QString();
    if (text != m_hypothesis) {
        m_hypothesis = text;
        out.push_back({text, false});
    }
}

void SpeechDecoder::process(const float *samples, std::size_t count) {
    if (count == 0)
        return;
    m_pcm.resize(count);
    for (std::size_t i = 0; i < count; ++i)
        m_pcm[i] = static_cast<short>(std::lround(std::clamp(samples[i], -1.0f, 1.0f) * 32767.0f));
    ps_process_raw(m_decoder, m_pcm.data(), count, FALSE, FALSE);
}

std::optional<SpeechDecoder::Result> SpeechDecoder::closeUtterance() {
    if (!m_inUtterance)
        return std::nullopt;
    ps_end_utt(m_decoder);
    m_inUtterance = false;
    const char *hyp = ps_get_hyp(m_decoder, nullptr);
    m_hypothesis.clear();
    return Result{hyp ? QString::fromUtf8(hyp) : QString(), true};
}

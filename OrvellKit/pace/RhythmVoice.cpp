#include "pace/RhythmVoice.h"

#include "pace/EspeakRenderer.h"

#include <QCollator>
#include <QLocale>

#include <espeak-ng/speak_lib.h>
#include <libexttextcat/textcat.h>

#include <algorithm>
#include <memory>
#include <mutex>

namespace {

QString userLanguage() {
    // The C locale of a bare session has no language: English is espeak-ng's own default.
    const QString name = QLocale().name();
    return name == QLatin1StringView("C") ? QStringLiteral("en") : name.left(2).toLower();
}

int score(const RhythmVoice &v) {
    // espeak-ng voices have one quality; the user's own regional voice wins.
    const QString user = QLocale().name().replace(QLatin1Char('_'), QLatin1Char('-')).toLower();
    return 10 + (v.language == user ? 1 : 0);
}

// Among equal scores the plainest voice of a language (the shortest code,
// "en-gb" before "en-gb-x-rp") is the better default.
bool better(const RhythmVoice &a, const RhythmVoice &b) {
    if (score(a) != score(b))
        return score(a) > score(b);
    return a.language.size() < b.language.size();
}

} // namespace

const std::vector<RhythmVoice> &RhythmVoice::usable() {
    static const std::vector<RhythmVoice> voices = [] {
        std::vector<RhythmVoice> list;
        if (!EspeakRenderer::isAvailable())
            return list;
        const espeak_VOICE **all = espeak_ListVoices(nullptr);
        for (int i = 0; all && all[i]; ++i) {
            const espeak_VOICE *v = all[i];
            const QString id = QString::fromUtf8(v->identifier);
            if (id.startsWith(QLatin1StringView("mb/")))
                continue;
            // `languages` is a priority byte, then the language name.
            const QString language = v->languages ? QString::fromUtf8(v->languages + 1) : QString();
            list.push_back({id, QString::fromUtf8(v->name), language.toLower()});
        }
        return list;
    }();
    return voices;
}

QString RhythmVoice::languageOf(const QString &text) {
    static std::mutex mutex;
    static void *classifier =
        special_textcat_Init("/usr/share/libexttextcat/fpdb.conf", "/usr/share/libexttextcat/");
    const QByteArray sample = text.left(2000).toUtf8();
    if (classifier && !sample.isEmpty()) {
        std::lock_guard lock(mutex);
        // "[en--utf8][sco--utf8]" for a guess; "UNKNOWN" or "SHORT" otherwise.
        const QString result = QString::fromUtf8(
            textcat_Classify(classifier, sample.constData(), static_cast<size_t>(sample.size())));
        if (result.startsWith(QLatin1Char('['))) {
            QStringList candidates;
            for (const QString &part : result.split(QLatin1Char('['), Qt::SkipEmptyParts))
                candidates << part.section(QLatin1Char('-'), 0, 0).section(QLatin1Char(']'), 0, 0);
            // Short texts come back with several close guesses; the user's
            // own language among them is the likeliest.
            return candidates.contains(userLanguage()) ? userLanguage() : candidates.first();
        }
    }
    return userLanguage();
}

std::optional<RhythmVoice> RhythmVoice::automatic(const QString &text) {
    const QString lang = languageOf(text);
    const RhythmVoice *best = nullptr;
    for (const RhythmVoice &v : usable()) {
        if (v.language.startsWith(lang) && (!best || better(v, *best)))
            best = &v;
    }
    if (best)
        return *best;
    // No voice speaks the text's language: the user's own language's, if any.
    for (const RhythmVoice &v : usable())
        if (v.language.startsWith(userLanguage()))
            return v;
    return std::nullopt;
}

std::optional<RhythmVoice> RhythmVoice::resolve(const QString &identifier, const QString &text) {
    if (!identifier.isEmpty()) {
        for (const RhythmVoice &v : usable())
            if (v.identifier == identifier)
                return v;
    }
    return automatic(text);
}

std::vector<RhythmVoice> RhythmVoice::choices(const QString &text) {
    const QString lang = languageOf(text);
    std::vector<RhythmVoice> list = usable();
    QCollator collator;
    std::stable_sort(list.begin(), list.end(), [&](const RhythmVoice &a, const RhythmVoice &b) {
        const bool am = a.language.startsWith(lang), bm = b.language.startsWith(lang);
        if (am != bm)
            return am;
        if (score(a) != score(b))
            return score(a) > score(b);
        return collator.compare(a.name, b.name) < 0;
    });
    return list;
}

QString RhythmVoice::displayName(const RhythmVoice &voice) {
    return voice.name + QStringLiteral(" (") + voice.language + QLatin1Char(')');
}

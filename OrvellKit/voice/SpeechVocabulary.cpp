#include "voice/SpeechVocabulary.h"

#include "pace/EspeakRenderer.h"
#include "voice/CommonWords.h"
#include "voice/SpokenNumbers.h"

#include <QFile>

#include <algorithm>
#include <cmath>
#include <map>

namespace {

// IPA as espeak-ng writes American English, onto the CMU phones. Longer
// symbols are tried first; stress, length and syllable marks carry nothing
// the acoustic model uses.
const std::pair<const char16_t *, const char *> ipaPhones[] = {
    {u"aɪ", "AY"},   {u"aʊ", "AW"},   {u"eɪ", "EY"},   {u"oʊ", "OW"}, {u"ɔɪ", "OY"}, {u"tʃ", "CH"},
    {u"dʒ", "JH"},   {u"ɑː", "AA"},   {u"ɔː", "AO"},   {u"ɜː", "ER"}, {u"iː", "IY"}, {u"uː", "UW"},
    {u"ɪə", "IH R"}, {u"eə", "EH R"}, {u"ʊə", "UH R"}, {u"ɑ", "AA"},  {u"ɒ", "AA"},  {u"ɔ", "AO"},
    {u"æ", "AE"},    {u"a", "AE"},    {u"ɛ", "EH"},    {u"e", "EH"},  {u"ɪ", "IH"},  {u"ᵻ", "IH"},
    {u"i", "IY"},    {u"ʊ", "UH"},    {u"u", "UW"},    {u"ʌ", "AH"},  {u"ə", "AH"},  {u"ɐ", "AH"},
    {u"ɚ", "ER"},    {u"ɜ", "ER"},    {u"o", "OW"},    {u"p", "P"},   {u"b", "B"},   {u"t", "T"},
    {u"d", "D"},     {u"ɾ", "T"},     {u"k", "K"},     {u"g", "G"},   {u"ɡ", "G"},   {u"f", "F"},
    {u"v", "V"},     {u"θ", "TH"},    {u"ð", "DH"},    {u"s", "S"},   {u"z", "Z"},   {u"ʃ", "SH"},
    {u"ʒ", "ZH"},    {u"h", "HH"},    {u"x", "HH"},    {u"ç", "HH"},  {u"m", "M"},   {u"n", "N"},
    {u"ŋ", "NG"},    {u"l", "L"},     {u"ɫ", "L"},     {u"ɹ", "R"},   {u"r", "R"},   {u"w", "W"},
    {u"j", "Y"},
};

// The spelling of a script word as a dictionary has it: lower case, with a
// typographic apostrophe made plain.
QString dictionarySpelling(QString text) {
    text = text.toLower();
    text.replace(QChar(0x2019), QLatin1Char('\''));
    return text;
}

// The written token of a number with the signs around it that are said
// with it: "$5", "50%".
QString numberToken(const ScriptWords &words, const ScriptWords::Word &w) {
    QString token = words.text.mid(w.location, w.length);
    if (w.location > 0) {
        const QChar before = words.text.at(w.location - 1);
        if (before == u'$' || before == u'€' || before == u'£')
            token.prepend(before);
    }
    if (w.end() < words.text.size() && words.text.at(w.end()) == u'%')
        token += u'%';
    return token;
}

bool endsSentence(QStringView between) {
    for (QChar c : between)
        if (c == u'.' || c == u'!' || c == u'?' || c == u'\n' || c == u'\u2029')
            return true;
    return false;
}

} // namespace

SpeechVocabulary::Pronunciations SpeechVocabulary::lookUp(const QString &dictionaryPath,
                                                          const QSet<QString> &wanted) {
    Pronunciations out;
    QFile file(dictionaryPath);
    if (!file.open(QIODevice::ReadOnly))
        return out;
    const QByteArray all = file.readAll();
    qsizetype at = 0;
    while (at < all.size()) {
        qsizetype end = all.indexOf('\n', at);
        if (end < 0)
            end = all.size();
        const QByteArrayView line(all.constData() + at, end - at);
        at = end + 1;
        const qsizetype space = line.indexOf(' ');
        if (space <= 0)
            continue;
        QByteArrayView head = line.first(space);
        if (const qsizetype paren = head.indexOf('('); paren > 0)
            head = head.first(paren);
        const QString word = QString::fromUtf8(head);
        if (!wanted.contains(word))
            continue;
        const QString phones = QString::fromUtf8(line.sliced(space + 1)).simplified();
        if (!phones.isEmpty())
            out[word] << phones;
    }
    return out;
}

QStringList SpeechVocabulary::phonesFromIpa(const QString &ipa) {
    QStringList out;
    qsizetype i = 0;
    while (i < ipa.size()) {
        bool matched = false;
        for (const auto &[symbol, phones] : ipaPhones) {
            const QStringView s(symbol);
            if (QStringView(ipa).sliced(i).startsWith(s)) {
                out << QString::fromLatin1(phones).split(QLatin1Char(' '));
                i += s.size();
                matched = true;
                break;
            }
        }
        if (!matched)
            ++i; // stress, length, syllable marks, spaces
    }
    return out;
}

SpeechVocabulary SpeechVocabulary::build(const ScriptWords &words, const QString &dictionaryPath) {
    SpeechVocabulary v;

    // Every spelling worth looking up, gathered first so the dictionary is
    // read once.
    QSet<QString> wanted;
    std::vector<QStringList> spoken(words.words.size());
    for (size_t i = 0; i < words.words.size(); ++i) {
        const auto &w = words.words[i];
        spoken[i] = SpokenNumbers::words(numberToken(words, w));
        for (const QString &s : spoken[i])
            wanted.insert(s);
        wanted.insert(dictionarySpelling(words.text.mid(w.location, w.length)));
        wanted.insert(w.key);
    }
    const QStringList common = CommonWords::list();
    for (const QString &c : common)
        wanted.insert(c);
    const Pronunciations dictionary = lookUp(dictionaryPath, wanted);

    for (const QString &c : common) {
        const QString key = ScriptWords::normalize(c);
        if (key.isEmpty() || !dictionary.contains(c))
            continue;
        v.pronunciations[key] = dictionary.value(c);
        v.common << key;
    }

    QStringList sentence;
    for (size_t i = 0; i < words.words.size(); ++i) {
        const auto &w = words.words[i];
        if (i > 0 && !sentence.isEmpty() &&
            endsSentence(
                QStringView(words.text)
                    .sliced(words.words[i - 1].end(), w.location - words.words[i - 1].end()))) {
            v.sentences.push_back(sentence);
            sentence.clear();
        }
        if (!v.pronunciations.contains(w.key)) {
            QStringList prons;
            // A number is said as words; every one of them is in the dictionary.
            if (!spoken[i].isEmpty()) {
                QStringList phones;
                for (const QString &s : spoken[i]) {
                    if (!dictionary.contains(s)) {
                        phones.clear();
                        break;
                    }
                    phones << dictionary.value(s).first();
                }
                if (!phones.isEmpty())
                    prons << phones.join(QLatin1Char(' '));
            }
            const QString written = words.text.mid(w.location, w.length);
            prons += dictionary.value(dictionarySpelling(written), dictionary.value(w.key));
            if (prons.isEmpty()) {
                const QStringList phones =
                    phonesFromIpa(EspeakRenderer::ipa(written, QStringLiteral("en-us")));
                if (!phones.isEmpty()) {
                    prons << phones.join(QLatin1Char(' '));
                    v.voiced << w.key;
                }
            }
            if (prons.isEmpty()) {
                if (!v.unpronounceable.contains(w.key))
                    v.unpronounceable << w.key;
                continue;
            }
            prons.removeDuplicates();
            v.pronunciations[w.key] = prons;
        }
        sentence << w.key;
    }
    if (!sentence.isEmpty())
        v.sentences.push_back(sentence);
    return v;
}

QString SpeechVocabulary::dictionaryText() const {
    QStringList keys = pronunciations.keys();
    keys.sort();
    QString out;
    for (const QString &key : keys) {
        const QStringList &prons = pronunciations[key];
        for (qsizetype i = 0; i < prons.size(); ++i) {
            out += key;
            if (i > 0)
                out += QStringLiteral("(%1)").arg(i + 1);
            out += QLatin1Char(' ') + prons[i] + QLatin1Char('\n');
        }
    }
    return out;
}

QString SpeechVocabulary::arpaText() const {
    return wittenBellArpa(sentences, common, commonWeight);
}

QString wittenBellArpa(const std::vector<QStringList> &sentences, const QStringList &extra,
                       double extraWeight) {
    const QString start = QStringLiteral("<s>");
    const QString stop = QStringLiteral("</s>");
    using Bigram = std::pair<QString, QString>;
    using Trigram = std::tuple<QString, QString, QString>;
    std::map<QString, double> unigrams;
    std::map<Bigram, double> bigrams;
    std::map<Trigram, double> trigrams;
    double total = 0;
    for (const QStringList &s : sentences) {
        QStringList tokens = s;
        tokens.prepend(start);
        tokens << stop;
        for (qsizetype i = 1; i < tokens.size(); ++i) {
            unigrams[tokens[i]] += 1;
            total += 1;
            bigrams[{tokens[i - 1], tokens[i]}] += 1;
            if (i >= 2)
                trigrams[{tokens[i - 2], tokens[i - 1], tokens[i]}] += 1;
        }
    }
    QStringList extraWords = extra;
    extraWords.removeDuplicates();
    const double extraShare = extraWords.isEmpty() ? 0 : extraWeight;
    const double scriptShare = total > 0 ? 1 - extraShare : 0;
    std::map<QString, double> p1;
    for (const auto &[w, c] : unigrams)
        p1[w] = scriptShare * c / total;
    for (const QString &w : extraWords)
        p1[w] += (total > 0 ? extraShare : 1.0) / extraWords.size();
    p1[start] = 0;
    if (total > 0)
        p1.try_emplace(stop, 0);

    // Counts and distinct followers of each history.
    std::map<QString, std::pair<double, double>> h1;
    for (const auto &[b, c] : bigrams) {
        h1[b.first].first += c;
        h1[b.first].second += 1;
    }
    std::map<Bigram, std::pair<double, double>> h2;
    for (const auto &[t, c] : trigrams) {
        auto &h = h2[{std::get<0>(t), std::get<1>(t)}];
        h.first += c;
        h.second += 1;
    }
    const auto backoff1 = [&](const QString &h) {
        const auto it = h1.find(h);
        return it == h1.end() ? 1.0 : it->second.second / (it->second.first + it->second.second);
    };
    std::map<Bigram, double> p2;
    for (const auto &[b, c] : bigrams) {
        const auto &[count, types] = h1[b.first];
        p2[b] = (c + types * p1[b.second]) / (count + types);
    }
    const auto p2Full = [&](const QString &v, const QString &w) {
        const auto it = p2.find({v, w});
        return it != p2.end() ? it->second : backoff1(v) * p1[w];
    };

    const auto log10Of = [](double p) {
        return p > 0 ? QString::number(std::log10(p), 'f', 6) : QStringLiteral("-99");
    };
    QString out;
    out += QStringLiteral("\\data\\\nngram 1=%1\nngram 2=%2\nngram 3=%3\n\n\\1-grams:\n")
               .arg(p1.size())
               .arg(p2.size())
               .arg(trigrams.size());
    for (const auto &[w, p] : p1)
        out += log10Of(p) + QLatin1Char(' ') + w + QLatin1Char(' ') + log10Of(backoff1(w)) +
               QLatin1Char('\n');
    out += QStringLiteral("\n\\2-grams:\n");
    for (const auto &[b, p] : p2) {
        out += log10Of(p) + QLatin1Char(' ') + b.first + QLatin1Char(' ') + b.second;
        if (const auto it = h2.find(b); it != h2.end())
            out += QLatin1Char(' ') +
                   log10Of(it->second.second / (it->second.first + it->second.second));
        out += QLatin1Char('\n');
    }
    out += QStringLiteral("\n\\3-grams:\n");
    for (const auto &[t, c] : trigrams) {
        const auto &[u, v, w] = t;
        const auto &[count, types] = h2[{u, v}];
        const double p = (c + types * p2Full(v, w)) / (count + types);
        out += log10Of(p) + QLatin1Char(' ') + u + QLatin1Char(' ') + v + QLatin1Char(' ') + w +
               QLatin1Char('\n');
    }
    out += QStringLiteral("\n\\end\\\n");
    return out;
}

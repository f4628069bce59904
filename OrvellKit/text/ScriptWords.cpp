#include "text/ScriptWords.h"

#include "base/TextFold.h"

#include <unicode/ubrk.h>

#include <memory>

namespace {

struct BreakIteratorCloser {
    void operator()(UBreakIterator *it) const { ubrk_close(it); }
};
using BreakIterator = std::unique_ptr<UBreakIterator, BreakIteratorCloser>;

} // namespace

QString ScriptWords::normalize(QStringView s) {
    return TextFold::matchKey(s);
}

ScriptWords::ScriptWords(const QString &source, bool withCues)
    : text(source)
    , cues(withCues)
    , markup(ScriptMarkup::parse(source, withCues)) {
    if (text.isEmpty())
        return;
    UErrorCode status = U_ZERO_ERROR;
    BreakIterator it(ubrk_open(UBRK_WORD, "", reinterpret_cast<const UChar *>(text.utf16()),
                               static_cast<int32_t>(text.size()), &status));
    if (U_FAILURE(status))
        return;

    int32_t start = ubrk_first(it.get());
    for (int32_t end = ubrk_next(it.get()); end != UBRK_DONE;
         start = end, end = ubrk_next(it.get())) {
        // Spaces and punctuation come back as segments with no word status.
        if (ubrk_getRuleStatus(it.get()) < UBRK_WORD_NONE_LIMIT)
            continue;
        // Cues and headings are read, not said.
        if (markup.isSilent(start))
            continue;
        QString key = normalize(QStringView(text).mid(start, end - start));
        if (key.isEmpty())
            continue;
        words.push_back({start, end - start, std::move(key)});
    }
}

QStringList ScriptWords::keys(const QString &text) {
    QStringList keys;
    const ScriptWords w(text, false); // what was heard has no cues
    keys.reserve(w.count());
    for (const Word &word : w.words)
        keys.append(word.key);
    return keys;
}

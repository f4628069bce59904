#include "voice/CommonWords.h"

namespace {

// Frequent words of spoken English: what a speaker says between the lines of
// a script ("so, as I was saying", "let me just go back to that").
const char commonWords[] = R"(
a about above across actually after again against ago ah ahead all almost alone
along already alright also although always am among an and another answer any
anybody anyone anything anyway are area around as ask asked at away back bad be
because become been before began begin behind being believe below best better
between big bit both bring brought but buy by call called came can can't case
certain certainly change check clear close come comes coming could couldn't day
days did didn't different do does doesn't doing don't done door down during each
early easy else end enough even ever every everybody everyone everything exactly
example except eyes face fact far feel few find fine first five follow for forget
found four free friend friends from front full fun gave get gets getting give
given go goes going gone good got great group guess guys had half hand happen
happened happy hard has hasn't have haven't having he he's head hear heard hello
help her here here's hey hi high him himself his hold home hope how however huge
i i'd i'll i'm i've idea if important in instead interesting into is isn't it
it's its itself just keep kind knew know known last late later least leave left
less let let's life like likely line little live long look looking lot lots love
made make makes making man many matter may maybe me mean means meant might mind
mine minute minutes moment more morning most move much must my myself name near
need needed never new next nice night no nobody none not nothing now number of
off often oh okay old on once one only open or other others our ours out over own
part people perhaps person place play please point possible pretty probably
problem put question questions quick quickly quite rather read ready real really
reason remember right room said same saw say saying says second see seem seems
seen set several shall she she's short should show side simple since slide
slides small so some somebody someone something sometimes soon sorry sort start
started still stop story stuff such sure take taken talk talking team tell than
thank thanks that that's the their them themselves then there there's these they
they're thing things think thinking third this those though thought three
through time times to today together told too took top toward true try trying
turn two under understand until up upon us use used very wait want wanted was
wasn't watch way we we'll we're we've week well went were weren't what what's
when where whether which while who whole why will with without won't word words
work working world would wouldn't wow yeah year years yes yet you you'd you'll
you're you've your yours yourself
)";

} // namespace

QStringList CommonWords::list() {
    static const QStringList words =
        QString::fromLatin1(commonWords)
            .split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    return words;
}

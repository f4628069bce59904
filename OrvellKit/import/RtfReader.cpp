#include "import/DocumentReaders.h"

#include <QHash>

#include <unicode/ucnv.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

namespace DocumentReaders {

namespace {

// The code page of an RTF font charset.
int codePageOfCharset(int charset) {
    switch (charset) {
    case 77:
        return 10000;
    case 128:
        return 932;
    case 129:
        return 949;
    case 134:
        return 936;
    case 136:
        return 950;
    case 161:
        return 1253;
    case 162:
        return 1254;
    case 163:
        return 1258;
    case 177:
        return 1255;
    case 178:
        return 1256;
    case 186:
        return 1257;
    case 204:
        return 1251;
    case 222:
        return 874;
    case 238:
        return 1250;
    default:
        return 1252;
    }
}

QString decodeCodePage(const QByteArray &bytes, int codePage) {
    if (bytes.isEmpty())
        return QString();
    const QByteArray name =
        codePage == 10000 ? QByteArray("macintosh") : "windows-" + QByteArray::number(codePage);
    UErrorCode status = U_ZERO_ERROR;
    UConverter *converter = ucnv_open(name.constData(), &status);
    if (U_FAILURE(status))
        return QString::fromLatin1(bytes);
    QString out(bytes.size() * 2 + 2, Qt::Uninitialized);
    status = U_ZERO_ERROR;
    const int32_t n = ucnv_toUChars(converter, reinterpret_cast<UChar *>(out.data()),
                                    static_cast<int32_t>(out.size()), bytes.constData(),
                                    static_cast<int32_t>(bytes.size()), &status);
    ucnv_close(converter);
    if (U_FAILURE(status))
        return QString::fromLatin1(bytes);
    out.truncate(n);
    return out;
}

// Destinations whose text is not part of the document's body.
bool isSkippedDestination(const QByteArray &word) {
    static const QByteArrayList skipped = {"fonttbl",
                                           "colortbl",
                                           "stylesheet",
                                           "info",
                                           "pict",
                                           "object",
                                           "header",
                                           "headerl",
                                           "headerr",
                                           "headerf",
                                           "footer",
                                           "footerl",
                                           "footerr",
                                           "footerf",
                                           "footnote",
                                           "annotation",
                                           "atnid",
                                           "atnauthor",
                                           "atrfstart",
                                           "atrfend",
                                           "fldinst",
                                           "xe",
                                           "tc",
                                           "bkmkstart",
                                           "bkmkend",
                                           "listtable",
                                           "listoverridetable",
                                           "rsidtbl",
                                           "generator",
                                           "themedata",
                                           "colorschememapping",
                                           "latentstyles",
                                           "datastore",
                                           "xmlnstbl",
                                           "pgdsctbl",
                                           "revtbl",
                                           "filetbl",
                                           "private",
                                           "nonshppict",
                                           "shppict",
                                           "shpinst",
                                           "sp",
                                           "template",
                                           "userprops",
                                           "docvar",
                                           "ftnsep",
                                           "ftnsepc",
                                           "aftnsep",
                                           "aftnsepc",
                                           "wgrffmtfilter",
                                           "mmathPr",
                                           "pnseclvl",
                                           "txe"};
    return skipped.contains(word);
}

// Control words that stand for text.
QString textOfControlWord(const QByteArray &word) {
    static const QHash<QByteArray, QString> texts = {
        {"par", QStringLiteral("\n")},           {"line", QStringLiteral("\n")},
        {"page", QStringLiteral("\n")},          {"sect", QStringLiteral("\n")},
        {"row", QStringLiteral("\n")},           {"tab", QStringLiteral("\t")},
        {"cell", QStringLiteral("\t")},          {"emdash", QStringLiteral("\u2014")},
        {"endash", QStringLiteral("\u2013")},    {"bullet", QStringLiteral("\u2022")},
        {"lquote", QStringLiteral("\u2018")},    {"rquote", QStringLiteral("\u2019")},
        {"ldblquote", QStringLiteral("\u201C")}, {"rdblquote", QStringLiteral("\u201D")},
        {"emspace", QStringLiteral(" ")},        {"enspace", QStringLiteral(" ")},
        {"qmspace", QStringLiteral(" ")},
    };
    return texts.value(word);
}

struct State {
    bool skip = false;
    bool hidden = false;  // \v
    bool deleted = false; // a deleted revision
    int unicodeSkip = 1;
    int font = -1;
    bool inFontTable = false;
    bool inStyleSheet = false;
    bool listText = false; // a list item's label (\listtext, \pntext)
};

// In a list label, what a symbol font draws as a bullet reads as one.
QString asListLabel(QString text) {
    for (QChar &c : text)
        if (c == QChar(0x00B7) || (c.unicode() >= 0xE000 && c.unicode() <= 0xF8FF))
            c = QChar(0x2022);
    return text;
}

class Parser {
public:
    explicit Parser(const QByteArray &bytes)
        : m_in(bytes) {}

    std::optional<QString> run() {
        if (!m_in.startsWith("{\\rtf"))
            return std::nullopt;
        std::vector<State> stack;
        State state;
        int pendingSkip = 0; // characters still to drop after a \uN
        for (qsizetype i = 0; i < m_in.size();) {
            const char c = m_in.at(i);
            if (c == '{') {
                if (stack.size() > 2000)
                    return std::nullopt; // nesting no real document has
                flushBytes(state);
                stack.push_back(state);
                ++i;
                continue;
            }
            if (c == '}') {
                flushBytes(state);
                if (stack.empty())
                    break;
                state = stack.back();
                stack.pop_back();
                m_starred = false;
                ++i;
                continue;
            }
            if (c == '\\') {
                i = controlAt(i, state, pendingSkip);
                if (i < 0)
                    return std::nullopt;
                continue;
            }
            if (c == '\r' || c == '\n') {
                ++i;
                continue;
            }
            if (pendingSkip > 0) {
                --pendingSkip;
                ++i;
                continue;
            }
            if (visible(state))
                m_bytes += c;
            ++i;
            if (m_out.size() > maxSize)
                return std::nullopt;
        }
        flushBytes(state);
        return m_out;
    }

private:
    bool visible(const State &s) const { return !s.skip && !s.hidden && !s.deleted; }

    void flushBytes(const State &s) {
        if (m_bytes.isEmpty())
            return;
        const QString text = decodeCodePage(m_bytes, codePage(s));
        m_out += s.listText ? asListLabel(text) : text;
        m_bytes.clear();
    }

    int codePage(const State &s) const {
        const auto it = m_fontCodePages.constFind(s.font);
        return it != m_fontCodePages.cend() ? *it : m_documentCodePage;
    }

    void emitText(State &s, const QString &text) {
        if (!visible(s))
            return;
        flushBytes(s);
        if (m_heading && text == QStringLiteral("\n"))
            closeHeading();
        m_out += text;
    }

    // A paragraph with an outline level is a heading: it becomes a "# " line
    // (levels past three are written as three), if it has any text.
    void closeHeading() {
        const qsizetype start = m_heading->start;
        const int level = std::min(m_heading->level, 3);
        if (start <= m_out.size() && !QStringView(m_out).mid(start).trimmed().isEmpty())
            m_out.insert(start, QString(level, QLatin1Char('#')) + QLatin1Char(' '));
        // The level stays with the paragraph properties: the next paragraph
        // is a heading too, until \pard.
        m_heading->start = m_out.size() + 1;
    }

    // Handles the control at `i`; returns the position after it, or -1 on damage.
    qsizetype controlAt(qsizetype i, State &s, int &pendingSkip) {
        const qsizetype n = m_in.size();
        if (i + 1 >= n)
            return n;
        const char next = m_in.at(i + 1);
        if (!std::isalpha(static_cast<unsigned char>(next))) {
            // Control symbols.
            if (next == '\'') {
                if (i + 3 >= n)
                    return n;
                bool ok = false;
                const int value = m_in.mid(i + 2, 2).toInt(&ok, 16);
                if (ok) {
                    if (pendingSkip > 0)
                        --pendingSkip;
                    else if (visible(s))
                        m_bytes += static_cast<char>(value);
                }
                return i + 4;
            }
            if (pendingSkip > 0) {
                --pendingSkip;
                return i + 2;
            }
            switch (next) {
            case '\\':
            case '{':
            case '}':
                if (visible(s))
                    m_bytes += next;
                break;
            case '~':
                emitText(s, QStringLiteral("\u00A0"));
                break;
            case '_':
                emitText(s, QStringLiteral("-"));
                break;
            case '\n':
            case '\r':
                emitText(s, QStringLiteral("\n"));
                break;
            case '*':
                m_starred = true;
                break;
            default:
                break; // \- optional hyphen, \: and the rest: nothing to show
            }
            return i + 2;
        }

        qsizetype j = i + 1;
        while (j < n && std::isalpha(static_cast<unsigned char>(m_in.at(j))) && j - i < 40)
            ++j;
        const QByteArray word = m_in.mid(i + 1, j - i - 1);
        bool hasParam = false;
        long param = 0;
        qsizetype k = j;
        if (k < n && (m_in.at(k) == '-' || std::isdigit(static_cast<unsigned char>(m_in.at(k))))) {
            const qsizetype start = k;
            ++k;
            while (k < n && std::isdigit(static_cast<unsigned char>(m_in.at(k))) && k - start < 11)
                ++k;
            param = m_in.mid(start, k - start).toLong(&hasParam);
        }
        if (k < n && m_in.at(k) == ' ')
            ++k;

        if (m_starred) {
            m_starred = false;
            // An unknown starred destination is skipped; a few carry body text.
            if (word != "fldrslt" && word != "listtext" && word != "pntext")
                s.skip = true;
        }
        if (word == "listtext" || word == "pntext")
            s.listText = true;
        if (isSkippedDestination(word)) {
            flushBytes(s);
            if (word == "fonttbl") {
                s.inFontTable = true;
                s.skip = true;
            } else if (word == "stylesheet") {
                s.inStyleSheet = true;
                s.skip = true;
            } else {
                s.skip = true;
            }
            return k;
        }

        if (word == "u" && hasParam) {
            const long code = (param < 0 ? param + 65536 : param) & 0xFFFF;
            // Private-use characters are symbol-font glyphs: a bullet in a list
            // label, elsewhere no text.
            if (code < 0xE000 || code > 0xF8FF)
                emitText(s, QString(QChar(static_cast<char16_t>(code))));
            else if (s.listText)
                emitText(s, QString(QChar(0x2022)));
            pendingSkip = s.unicodeSkip;
            return k;
        }
        if (pendingSkip > 0) {
            // A control word stands for one character of the fallback text.
            --pendingSkip;
            return k;
        }
        if (word == "uc") {
            s.unicodeSkip = hasParam && param >= 0 && param < 10 ? static_cast<int>(param) : 1;
        } else if (word == "ansicpg" && hasParam) {
            m_documentCodePage = static_cast<int>(param);
        } else if (word == "f" && hasParam) {
            flushBytes(s);
            s.font = static_cast<int>(param);
        } else if (word == "fcharset" && hasParam) {
            if (s.inFontTable && s.font >= 0)
                m_fontCodePages.insert(s.font, codePageOfCharset(static_cast<int>(param)));
        } else if (word == "v") {
            s.hidden = !hasParam || param != 0;
        } else if (word == "deleted") {
            s.deleted = !hasParam || param != 0;
        } else if (word == "s" && hasParam && s.inStyleSheet) {
            m_style = static_cast<int>(param);
        } else if (word == "outlinelevel" && hasParam && s.inStyleSheet) {
            // A heading style: its paragraphs are headings.
            if (param >= 0 && param < 9)
                m_styleHeadings.insert(m_style, static_cast<int>(param) + 1);
        } else if (word == "s" && hasParam && !s.skip) {
            flushBytes(s);
            if (const int level = m_styleHeadings.value(static_cast<int>(param)); level > 0)
                m_heading = Heading{level, m_out.lastIndexOf(QLatin1Char('\n')) + 1};
        } else if (word == "outlinelevel" && hasParam && !s.skip) {
            flushBytes(s);
            if (param >= 0 && param < 9) {
                const qsizetype lineStart = m_out.lastIndexOf(QLatin1Char('\n')) + 1;
                m_heading = Heading{static_cast<int>(param) + 1, lineStart};
            } else {
                m_heading.reset();
            }
        } else if (word == "pard" && !s.listText) {
            m_heading.reset();
        } else if (word == "plain") {
            s.hidden = false;
            s.deleted = false;
        } else if (const QString text = textOfControlWord(word); !text.isEmpty()) {
            emitText(s, text);
        } else if (word == "bin" && hasParam) {
            // Binary data: skip its bytes whatever they hold.
            return param > 0 ? std::min<qsizetype>(n, k + param) : k;
        }
        return k;
    }

    struct Heading {
        int level = 1;
        qsizetype start = 0; // where the paragraph's text starts in m_out
    };
    const QByteArray &m_in;
    QString m_out;
    std::optional<Heading> m_heading;
    int m_style = 0;                  // the stylesheet entry being read
    QHash<int, int> m_styleHeadings; // style number to heading level
    QByteArray m_bytes;
    bool m_starred = false;
    int m_documentCodePage = 1252;
    QHash<int, int> m_fontCodePages;
};

} // namespace

std::optional<QString> rtf(const QByteArray &bytes) {
    return Parser(bytes).run();
}

} // namespace DocumentReaders

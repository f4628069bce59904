#include "import/DocumentReaders.h"

#include "import/ListLabels.h"

#include <QRegularExpression>
#include <QSet>
#include <QXmlStreamReader>

#include <zip.h>

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <vector>

namespace DocumentReaders {

std::optional<QByteArray> zipMember(const QByteArray &zipBytes, const char *name) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *source = zip_source_buffer_create(
        zipBytes.constData(), static_cast<zip_uint64_t>(zipBytes.size()), 0, &error);
    if (!source) {
        zip_error_fini(&error);
        return std::nullopt;
    }
    zip_t *archive = zip_open_from_source(source, ZIP_RDONLY, &error);
    zip_error_fini(&error);
    if (!archive) {
        zip_source_free(source);
        return std::nullopt;
    }
    std::unique_ptr<zip_t, decltype(&zip_discard)> closer(archive, zip_discard);
    zip_file_t *file = zip_fopen(archive, name, 0);
    if (!file)
        return std::nullopt;
    std::unique_ptr<zip_file_t, decltype(&zip_fclose)> fileCloser(file, zip_fclose);
    QByteArray out;
    char buffer[65536];
    for (;;) {
        const zip_int64_t n = zip_fread(file, buffer, sizeof buffer);
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        // A member that inflates beyond any real document is a zip bomb.
        if (out.size() + n > maxSize)
            return std::nullopt;
        out.append(buffer, static_cast<qsizetype>(n));
    }
    return out;
}

namespace {

// Headings are kept as "# " lines, one to three "#" by level (deeper levels
// as three), so the prompter shows and jumps between them.
QString headingMarker(int level) {
    if (level <= 0)
        return {};
    return QString(std::min(level, 3), QLatin1Char('#')) + QLatin1Char(' ');
}

// Word's built-in heading styles ("Heading1", "heading 2", "Title"; LibreOffice
// writes "Heading_20_1").
int headingLevelOfStyle(QStringView style) {
    static const QRegularExpression heading(QStringLiteral("^heading(?: |_20_)?([1-9])$"),
                                            QRegularExpression::CaseInsensitiveOption);
    if (style.compare(u"Title", Qt::CaseInsensitive) == 0)
        return 1;
    const auto m = heading.match(style);
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

// A paragraph's own outline level: 0 to 8 are headings, 9 body text.
int outlineHeading(QStringView value) {
    bool ok = false;
    const int level = value.toInt(&ok);
    return ok && level >= 0 && level < 9 ? level + 1 : 0;
}


// The cells of a table row come out on one line, separated by tabs.
void endCell(QString &out) {
    if (out.endsWith(QLatin1Char('\n')))
        out.chop(1);
    out += QLatin1Char('\t');
}

void endRow(QString &out) {
    if (out.endsWith(QLatin1Char('\t')))
        out.chop(1);
    out += QLatin1Char('\n');
}

QStringView attribute(const QXmlStreamReader &reader, QStringView localName) {
    for (const QXmlStreamAttribute &a : reader.attributes())
        if (a.name() == localName)
            return a.value();
    return {};
}

// Word's numbering definitions (numbering.xml of a .docx, or the w:lists of a
// Word 2003 XML file) and the counts of the lists as the document goes.
class WordNumbering {
public:
    void read(const QByteArray &xml) {
        QXmlStreamReader reader(xml);
        QString abstract, num;
        int level = 0;
        while (!reader.atEnd()) {
            reader.readNext();
            if (!reader.isStartElement())
                continue;
            const QStringView name = reader.name();
            const QString value = attribute(reader, u"val").toString();
            if (name == u"abstractNum") {
                abstract = attribute(reader, u"abstractNumId").toString();
                num.clear();
            } else if (name == u"listDef") {
                abstract = attribute(reader, u"listDefId").toString();
                num.clear();
            } else if (name == u"num") {
                num = attribute(reader, u"numId").toString();
                abstract.clear();
            } else if (name == u"list") {
                num = attribute(reader, u"ilfo").toString();
                abstract.clear();
            } else if (name == u"lvl" || name == u"lvlOverride") {
                level = std::clamp(attribute(reader, u"ilvl").toInt(), 0, 8);
            } else if (name == u"abstractNumId" || name == u"ilst") {
                if (!num.isEmpty())
                    m_abstractOf.insert(num, value);
            } else if (name == u"startOverride" && !num.isEmpty()) {
                m_overrides[num].insert(level, value.toInt());
            } else if (!abstract.isEmpty()) {
                Level &l = m_levels[abstract][static_cast<size_t>(level)];
                if (name == u"start")
                    l.start = value.toInt();
                else if (name == u"numFmt")
                    l.format = ListLabels::fromWordName(value);
                else if (name == u"nfc")
                    l.format = ListLabels::fromWordCode(value.toInt());
                else if (name == u"lvlText")
                    l.text = value;
            }
        }
    }

    // The label of the next item of list `num` at `level`; empty for none.
    QString label(const QString &num, int level) {
        const QString abstract = m_abstractOf.value(num);
        if (num.isEmpty() || num == u"0" || !m_levels.contains(abstract))
            return QString();
        level = std::clamp(level, 0, 8);
        ListLabels::Counter &counter = m_counters[abstract];
        const auto overrides = m_overrides.value(num);
        // A list that says where it starts starts over there.
        if (!m_used.contains(num)) {
            m_used.insert(num);
            if (!overrides.isEmpty())
                counter.reset();
        }
        const auto &levels = m_levels[abstract];
        const Level &l = levels[static_cast<size_t>(level)];
        if (l.format == ListLabels::Format::bullet)
            return ListLabels::bullet;
        if (l.format == ListLabels::Format::none)
            return QString();
        counter.next(level, overrides.value(level, l.start));
        QString text = l.text.isNull() ? QStringLiteral("%%1.").arg(level + 1) : l.text;
        for (int k = 0; k <= level; ++k) {
            const int n =
                counter.current(k) > 0 ? counter.current(k) : levels[static_cast<size_t>(k)].start;
            text.replace(QLatin1Char('%') + QString::number(k + 1),
                         ListLabels::number(n, levels[static_cast<size_t>(k)].format));
        }
        // A symbol-font bullet written as a level's text is a bullet to a reader.
        text.remove(QRegularExpression(QStringLiteral("[\\x{F000}-\\x{F8FF}]")));
        text = text.trimmed();
        return text.isEmpty() ? QString() : text + QLatin1Char(' ');
    }

private:
    struct Level {
        ListLabels::Format format = ListLabels::Format::decimal;
        QString text; // null: "%N."
        int start = 1;
    };
    QHash<QString, std::array<Level, 9>> m_levels;
    QHash<QString, QString> m_abstractOf;
    QHash<QString, QHash<int, int>> m_overrides;
    QHash<QString, ListLabels::Counter> m_counters;
    QSet<QString> m_used;
};

// WordprocessingML, in a .docx part or a Word 2003 XML file: elements are
// matched by local name, so both namespaces read alike.
std::optional<QString> wordprocessingText(const QByteArray &xml, WordNumbering numbering) {
    QXmlStreamReader reader(xml);
    QString out;
    bool inBody = false;
    int skipDepth = 0;          // inside something whose text is not read
    bool inInstruction = false; // between a field's begin and separate
    while (!reader.atEnd()) {
        reader.readNext();
        const QStringView name = reader.name();
        if (reader.isStartElement()) {
            if (name == u"body") {
                inBody = true;
                continue;
            }
            if (!inBody)
                continue;
            // Word 2003 XML keeps comments and deletions in annotations, and
            // notes inline; insertions are annotations too, and stay.
            const bool annotation =
                name == u"annotation" &&
                reader.attributes().value(QStringLiteral("w:type")) != u"Word.Insertion";
            if (skipDepth > 0 || annotation || name == u"footnote" || name == u"endnote" ||
                name == u"del" || name == u"delText" || name == u"instrText" ||
                name == u"commentReference" || name == u"footnoteReference" ||
                name == u"endnoteReference" || name == u"drawing" || name == u"pict" ||
                name == u"object" || name == u"sectPr" || name == u"moveFrom") {
                ++skipDepth;
                continue;
            }
            if (name == u"fldChar") {
                const QStringView type = reader.attributes().value(QStringLiteral("w:fldCharType"));
                const QStringView bare =
                    type.isEmpty() ? reader.attributes().value(QStringLiteral("fldCharType"))
                                   : type;
                if (bare == u"begin")
                    inInstruction = true;
                else if (bare == u"separate" || bare == u"end")
                    inInstruction = false;
            } else if (name == u"t" && !inInstruction) {
                out += reader.readElementText(QXmlStreamReader::IncludeChildElements);
            } else if (name == u"tab" && !inInstruction) {
                // A tab stop inside paragraph properties is not a character.
                out += QLatin1Char('\t');
            } else if ((name == u"br" || name == u"cr") && !inInstruction) {
                out += QLatin1Char('\n');
            } else if (name == u"noBreakHyphen") {
                out += QLatin1Char('-');
            } else if (name == u"sym") {
                // Symbol-font characters have no text of their own.
            } else if (name == u"pPr") {
                // A paragraph's properties come before its text: the list
                // label, if it has one, goes first.
                QString num;
                int level = 0;
                int heading = 0;
                for (int depth = 1; depth > 0 && !reader.atEnd();) {
                    reader.readNext();
                    if (reader.isStartElement()) {
                        ++depth;
                        if (reader.name() == u"ilvl")
                            level = attribute(reader, u"val").toInt();
                        else if (reader.name() == u"numId" || reader.name() == u"ilfo")
                            num = attribute(reader, u"val").toString();
                        else if (reader.name() == u"pStyle")
                            heading = std::max(heading, headingLevelOfStyle(attribute(reader, u"val")));
                        else if (reader.name() == u"outlineLvl")
                            heading = outlineHeading(attribute(reader, u"val"));
                    } else if (reader.isEndElement()) {
                        --depth;
                    }
                }
                out += headingMarker(heading);
                out += numbering.label(num, level);
            } else if (name == u"rPr" || name == u"tblPr" || name == u"trPr" || name == u"tcPr" ||
                       name == u"tblGrid") {
                ++skipDepth;
            }
        } else if (reader.isEndElement()) {
            if (!inBody)
                continue;
            if (skipDepth > 0) {
                --skipDepth;
                continue;
            }
            if (name == u"body")
                inBody = false;
            else if (name == u"p")
                out += QLatin1Char('\n');
            else if (name == u"tc")
                endCell(out);
            else if (name == u"tr")
                endRow(out);
        }
        if (out.size() > maxSize)
            return std::nullopt;
    }
    if (reader.hasError())
        return std::nullopt;
    return out;
}

// OpenDocument's list styles (automatic ones in content.xml, named ones in
// styles.xml) and the lists of the text as it goes.
class OdfLists {
public:
    void read(const QByteArray &xml) {
        QXmlStreamReader reader(xml);
        QString style;
        while (!reader.atEnd()) {
            reader.readNext();
            if (!reader.isStartElement())
                continue;
            const QStringView name = reader.name();
            if (name == u"list-style") {
                style = attribute(reader, u"name").toString();
                continue;
            }
            const bool bullet = name == u"list-level-style-bullet";
            if (style.isEmpty() || !(bullet || name == u"list-level-style-number" ||
                                     name == u"list-level-style-image"))
                continue;
            const int level = std::clamp(attribute(reader, u"level").toInt() - 1, 0, 9);
            Level &l = m_styles[style][static_cast<size_t>(level)];
            l.bullet = bullet || name == u"list-level-style-image";
            l.format = ListLabels::fromOpenDocument(attribute(reader, u"num-format"));
            l.prefix = attribute(reader, u"num-prefix").toString();
            l.suffix = attribute(reader, u"num-suffix").toString();
            l.display = std::clamp(attribute(reader, u"display-levels").toInt(), 1, 10);
            const int start = attribute(reader, u"start-value").toInt();
            l.start = start > 0 ? start : 1;
        }
    }

    // A list begins: a new count, unless it continues the one before.
    void beginList(const QXmlStreamReader &reader) {
        const QString style = attribute(reader, u"style-name").toString();
        Open open{style.isEmpty() && !m_open.empty() ? m_open.back().style : style,
                  static_cast<int>(m_open.size())};
        if (m_open.empty()) {
            const bool continues = attribute(reader, u"continue-numbering") == u"true" ||
                                   !attribute(reader, u"continue-list").isEmpty();
            if (!continues)
                m_counter.reset();
        }
        m_open.push_back(open);
    }
    void endList() {
        if (!m_open.empty())
            m_open.pop_back();
    }
    void beginItem(const QXmlStreamReader &reader) {
        m_labelPending = !m_open.empty();
        const int start = attribute(reader, u"start-value").toInt();
        m_startAt = start > 0 ? std::optional<int>(start) : std::nullopt;
    }
    // The label of the item's first paragraph; empty after it.
    QString paragraphLabel() {
        if (!m_labelPending || m_open.empty())
            return QString();
        m_labelPending = false;
        const Open &open = m_open.back();
        const auto &levels = m_styles[open.style];
        const Level &l = levels[static_cast<size_t>(std::min(open.level, 9))];
        if (l.bullet)
            return ListLabels::bullet;
        if (l.format == ListLabels::Format::none)
            return QString();
        if (m_startAt) // the item says where the count goes on from
            m_counter = restarted(open.level, *m_startAt);
        else
            m_counter.next(open.level, l.start);
        QStringList parts;
        for (int k = std::max(0, open.level - l.display + 1); k <= open.level; ++k)
            parts << ListLabels::number(std::max(1, m_counter.current(k)),
                                        levels[static_cast<size_t>(std::min(k, 9))].format);
        return l.prefix + parts.join(QLatin1Char('.')) + l.suffix + QLatin1Char(' ');
    }

private:
    struct Level {
        bool bullet = false;
        ListLabels::Format format = ListLabels::Format::decimal;
        QString prefix, suffix;
        int display = 1;
        int start = 1;
    };
    struct Open {
        QString style;
        int level = 0;
    };
    // The count with `level` set to `value`, the levels above kept.
    ListLabels::Counter restarted(int level, int value) const {
        ListLabels::Counter c = m_counter;
        ListLabels::Counter out;
        for (int k = 0; k < level; ++k)
            if (c.current(k) > 0)
                out.next(k, c.current(k));
        out.next(level, value);
        return out;
    }

    QHash<QString, std::array<Level, 10>> m_styles;
    std::vector<Open> m_open;
    ListLabels::Counter m_counter;
    bool m_labelPending = false;
    std::optional<int> m_startAt;
};

std::optional<QString> openDocumentText(const QByteArray &xml, OdfLists lists) {
    lists.read(xml); // the automatic list styles
    QXmlStreamReader reader(xml);
    QString out;
    bool inText = false;
    int skipDepth = 0;
    int paragraphs = 0; // open text:p and text:h
    while (!reader.atEnd()) {
        reader.readNext();
        const QStringView name = reader.name();
        const QStringView prefix = reader.prefix();
        if (reader.isStartElement()) {
            if (name == u"text" && prefix == u"office") {
                inText = true;
                continue;
            }
            if (!inText)
                continue;
            if (skipDepth > 0 || name == u"note" || name == u"annotation" ||
                name == u"tracked-changes" || name == u"sequence-decls" ||
                name == u"variable-decls" || name == u"user-field-decls" ||
                (prefix == u"draw" && name != u"text-box") || name == u"bookmark-ref") {
                ++skipDepth;
                continue;
            }
            if (name == u"list" && prefix == u"text") {
                lists.beginList(reader);
            } else if (name == u"list-item" && prefix == u"text") {
                lists.beginItem(reader);
            } else if ((name == u"p" || name == u"h") && prefix == u"text") {
                ++paragraphs;
                if (name == u"h") {
                    // A heading without a level is a first-level one.
                    const QStringView level = reader.attributes().value(QStringLiteral("text:outline-level"));
                    out += headingMarker(level.isEmpty() ? 1 : std::clamp(level.toInt(), 1, 10));
                }
                out += lists.paragraphLabel();
            } else if (name == u"s" && prefix == u"text") {
                const int count = reader.attributes().value(QStringLiteral("text:c")).toInt();
                out += QString(std::clamp(count, 1, 1000), QLatin1Char(' '));
            } else if (name == u"tab" && prefix == u"text") {
                out += QLatin1Char('\t');
            } else if (name == u"line-break") {
                out += QLatin1Char('\n');
            }
        } else if (reader.isEndElement()) {
            if (!inText)
                continue;
            if (skipDepth > 0) {
                --skipDepth;
                continue;
            }
            if (name == u"text" && prefix == u"office")
                inText = false;
            else if (name == u"list" && prefix == u"text")
                lists.endList();
            else if ((name == u"p" || name == u"h") && prefix == u"text") {
                paragraphs = std::max(0, paragraphs - 1);
                out += QLatin1Char('\n');
            } else if (name == u"table-cell")
                endCell(out);
            else if (name == u"table-row")
                endRow(out);
        } else if (reader.isCharacters() && inText && skipDepth == 0 && paragraphs > 0) {
            // Text lives in paragraphs; what stands between elements is layout.
            out += reader.text();
        }
        if (out.size() > maxSize)
            return std::nullopt;
    }
    if (reader.hasError())
        return std::nullopt;
    return out;
}

} // namespace

std::optional<QString> docx(const QByteArray &zipBytes) {
    const auto document = zipMember(zipBytes, "word/document.xml");
    if (!document)
        return std::nullopt;
    WordNumbering numbering;
    if (const auto definitions = zipMember(zipBytes, "word/numbering.xml"))
        numbering.read(*definitions);
    return wordprocessingText(*document, std::move(numbering));
}

std::optional<QString> wordML(const QByteArray &xml) {
    WordNumbering numbering;
    numbering.read(xml); // Word 2003 keeps its lists in the document
    return wordprocessingText(xml, std::move(numbering));
}

std::optional<QString> odt(const QByteArray &zipBytes) {
    const auto content = zipMember(zipBytes, "content.xml");
    if (!content)
        return std::nullopt;
    OdfLists lists;
    if (const auto styles = zipMember(zipBytes, "styles.xml"))
        lists.read(*styles); // the named list styles
    return openDocumentText(*content, std::move(lists));
}

std::optional<QString> odtContent(const QByteArray &xml) {
    return openDocumentText(xml, OdfLists());
}

} // namespace DocumentReaders

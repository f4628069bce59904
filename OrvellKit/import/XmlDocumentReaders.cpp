#include "import/DocumentReaders.h"

#include <QXmlStreamReader>

#include <zip.h>

#include <memory>

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

// WordprocessingML, in a .docx part or a Word 2003 XML file: elements are
// matched by local name, so both namespaces read alike.
std::optional<QString> wordprocessingText(const QByteArray &xml) {
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
            } else if (name == u"pPr" || name == u"rPr" || name == u"tblPr" || name == u"trPr" ||
                       name == u"tcPr" || name == u"tblGrid") {
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

std::optional<QString> openDocumentText(const QByteArray &xml) {
    QXmlStreamReader reader(xml);
    QString out;
    bool inText = false;
    int skipDepth = 0;
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
            if (name == u"s" && prefix == u"text") {
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
            else if ((name == u"p" || name == u"h") && prefix == u"text")
                out += QLatin1Char('\n');
            else if (name == u"table-cell")
                endCell(out);
            else if (name == u"table-row")
                endRow(out);
        } else if (reader.isCharacters() && inText && skipDepth == 0) {
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
    return document ? wordprocessingText(*document) : std::nullopt;
}

std::optional<QString> wordML(const QByteArray &xml) {
    return wordprocessingText(xml);
}

std::optional<QString> odt(const QByteArray &zipBytes) {
    const auto content = zipMember(zipBytes, "content.xml");
    return content ? openDocumentText(*content) : std::nullopt;
}

std::optional<QString> odtContent(const QByteArray &xml) {
    return openDocumentText(xml);
}

} // namespace DocumentReaders

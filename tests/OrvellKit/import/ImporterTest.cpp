#include "import/DocumentConverter.h"
#include "import/DocumentReaders.h"
#include "import/MarkdownStripper.h"
#include "import/ScriptImporter.h"

#include "support/LibraryTestSupport.h"
#include "support/QtPrinters.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QString dataPath(const QString &name) {
    return qEnvironmentVariable("ORVELL_TEST_DATA") + "/import/" + name;
}

QString expectedSample() {
    return QString::fromUtf8(readFile(dataPath("sample.expected.txt"))).trimmed();
}

// Converts in this process: the reader tests are about the text, not the process.
const ScriptImporter::Converter inProcess = [](const QString &path, DocumentType type,
                                               ScriptImportError *error) {
    auto text = DocumentReaders::read(path, type);
    if (!text && error)
        *error = {ScriptImportError::Kind::unreadable, QFileInfo(path).fileName()};
    return text;
};

struct ImportFixture : ::testing::Test {
    QTemporaryDir dir;

    QString file(const QString &name, const QByteArray &bytes) {
        const QString path = dir.filePath(name);
        writeFile(path, bytes);
        return path;
    }

    ImportedScript imported(const QString &path) {
        ScriptImportError error;
        const auto script = ScriptImporter::load(path, inProcess, &error);
        EXPECT_TRUE(script) << error.errorDescription().toStdString();
        return script.value_or(ImportedScript());
    }

    ScriptImportError failure(const QString &path) {
        ScriptImportError error;
        EXPECT_FALSE(ScriptImporter::load(path, inProcess, &error));
        return error;
    }
};

} // namespace

TEST(DocumentReaders, wordProcessorDocumentsGiveTheTextAReaderExpects) {
    // Made with LibreOffice from sample.fodt: a heading, bold runs, a line
    // break, a tab, repeated spaces, a footnote, a comment, a deleted
    // revision, a list, a table, a header and a footer.
    for (const char *name : {"sample.odt", "sample.docx", "sample.doc", "sample.rtf",
                             "sample.wordml", "sample.rtfd"}) {
        const QString path = dataPath(QString::fromLatin1(name));
        const auto type = ScriptImporter::documentType(ScriptImporter::extensionOf(path));
        ASSERT_TRUE(type) << name;
        const auto text = DocumentReaders::read(path, *type);
        ASSERT_TRUE(text) << name;
        // Headings come through as "# " lines; Word 97's binary styles are not read.
        QString expected = expectedSample();
        if (QByteArray(name) == "sample.doc")
            expected.remove(0, 2);
        EXPECT_EQ(ScriptImporter::normalize(*text), expected) << name;
    }
}

TEST(DocumentReaders, rtfEncodingsAndDestinations) {
    const auto read = [](const char *rtf) {
        return DocumentReaders::rtf(QByteArray(rtf)).value_or(QStringLiteral("<none>"));
    };
    EXPECT_EQ(read(R"({\rtf1\ansi\ansicpg1251 \'cf\'f0\'e8\'e2\'e5\'f2\par})"),
              QString::fromUtf8("Привет\n"));
    // \uc2: each \u stands in front of two fallback characters, which are skipped.
    EXPECT_EQ(read(R"({\rtf1\uc2 caf\u233\'3f\'3fs\u8212 ??x})"), QString::fromUtf8("cafés—x"));
    EXPECT_EQ(
        read(
            R"({\rtf1{\fonttbl{\f0 Arial;}}{\*\generator Writer;}{\header Top}A{\*\unknown B}C\tab D\line E})"),
        "AC\tD\nE");
    EXPECT_EQ(
        read(R"({\rtf1{\field{\*\fldinst PAGE}{\fldrslt 7}} of{\v  hidden} ten\~\emdash\-x})"),
        QString::fromUtf8("7 of ten\u00A0\u2014x"));
    EXPECT_EQ(read(R"({\rtf1 a\bin3 {}x b})"), "a b"); // binary bytes are never text
    EXPECT_EQ(read("plain text, not rtf"), "<none>");
    EXPECT_EQ(read(QByteArray("{\\rtf1 ").append(QByteArray(5000, '{')).constData()), "<none>");
}

TEST(DocumentReaders, damagedContainersAreUnreadableNotFatal) {
    EXPECT_FALSE(DocumentReaders::docx("PK\x03\x04 not really a zip"));
    EXPECT_FALSE(DocumentReaders::odt(QByteArray()));
    EXPECT_FALSE(DocumentReaders::word97(QByteArray(600, 'x')));
    QByteArray doc = readFile(dataPath("sample.doc"));
    ASSERT_FALSE(doc.isEmpty());
    // Cut in half, and with its allocation table scrambled.
    EXPECT_FALSE(
        DocumentReaders::word97(doc.left(doc.size() / 2)).value_or("").contains("The end"));
    for (int i = 512; i < 1024; ++i)
        doc[i] = static_cast<char>(0xFE);
    DocumentReaders::word97(doc);
    EXPECT_FALSE(DocumentReaders::wordML("<w:body><w:p><w:t>unclosed"));
}

TEST_F(ImportFixture, routesByExtensionAndNamesScriptsAfterTheirFiles) {
    EXPECT_EQ(imported(file("notes.TXT", "Plain notes")).body, "Plain notes");
    EXPECT_EQ(imported(file("README", "No extension")).title, "README");
    EXPECT_EQ(imported(file("talk.text", "Text")).title, "talk");
    EXPECT_EQ(imported(file("talk.MD", "# Title\n**Bold** words")).body, "# Title\nBold words");
    EXPECT_EQ(imported(file(".md", "\n\n## From the text\nbody")).title, "From the text");
    EXPECT_EQ(imported(file(QString(100, 'n') + ".txt", "x")).title, QString(80, 'n'));

    const ScriptImportError pages = failure(file("slides.pages", "x"));
    EXPECT_EQ(pages.errorDescription(), "Orvell cannot read .pages files.");
    EXPECT_EQ(pages.recoverySuggestion(),
              "Supported formats: plain text, Markdown, RTF and Word (.docx).");
    EXPECT_EQ(failure(file("blank.txt", " \t\n\r\n  ")).errorDescription(),
              "That file has no text in it.");
    EXPECT_EQ(failure(file("rule.md", "---\n")).kind, ScriptImportError::Kind::emptyDocument);
    EXPECT_EQ(failure(dir.filePath("missing.txt")).errorDescription(),
              QString::fromUtf8("\u201Cmissing.txt\u201D could not be found."));
    EXPECT_TRUE(ScriptImporter::canImport("a.DOCX"));
    EXPECT_FALSE(ScriptImporter::canImport("a.png"));

    const auto all = ScriptImporter::loadAll(
        {file("a.md", "A"), file("b.pages", "B"), file("c.txt", "C")}, inProcess);
    EXPECT_EQ(all.scripts.size(), 2u);
    EXPECT_EQ(ScriptImporter::summary(all), "Imported 2 scripts.");
    EXPECT_EQ(ScriptImporter::summary(ScriptImporter::loadAll({file("x.pages", "")}, inProcess)),
              "Orvell cannot read .pages files.");
}

TEST_F(ImportFixture, plainTextEncodings) {
    EXPECT_EQ(imported(file("bom.txt", "\xEF\xBB\xBFHello")).body, "Hello");
    EXPECT_EQ(imported(file("w.txt", "\x93quoted\x94 caf\xe9")).body,
              QString::fromUtf8("\u201Cquoted\u201D caf\u00e9"));
    EXPECT_EQ(imported(file("u16.txt", QByteArray("\xFF\xFEH\0i\0", 6))).body, "Hi");
    // A stray last byte costs that byte, not the text.
    EXPECT_EQ(imported(file("odd16.txt", QByteArray("\xFF\xFEH\0i\0!", 7))).body, "Hi");
    EXPECT_EQ(imported(file("odd16be.txt", QByteArray("\xFE\xFF\0O\0k\0", 7))).body, "Ok");
    // Without a byte-order mark UTF-16 is not tried: read as Latin-1 the bytes
    // are full of NULs, which no text has.
    EXPECT_EQ(failure(file("raw16.txt", QByteArray("H\0i\0", 4))).kind,
              ScriptImportError::Kind::notText);
}

TEST(MarkdownStripper, keepsTheWordsAndDropsTheMarkup) {
    const QString md =
        QString::fromUtf8("## Agenda ##\n"
                          "- [x] Done\n"
                          "1. First [link](http://x.y) and ![alt text](p.png)\n"
                          "\\*not italic\\* and *italic* and **bold** and ~~gone~~ and `code`\n"
                          "> quoted\n"
                          "snake_case_names stay, _this_ goes\n"
                          "```\n"
                          "  code *kept*  \n"
                          "```\n"
                          "| a | b |\n"
                          "|---|:-:|\n"
                          "| 1 | 2 |\n"
                          "Title\n"
                          "=====\n"
                          "[ref]: http://example.com\n"
                          "***\n"
                          "<b>tag</b> <https://orvell.org>");
    EXPECT_EQ(MarkdownStripper::strip(md).split('\n'),
              (QStringList{"## Agenda", QString::fromUtf8("\u2022 Done"), "1. First link and alt text",
                           "*not italic* and italic and bold and gone and code", "quoted",
                           "snake_case_names stay, this goes", "  code *kept*", "a   b", "",
                           "1   2", "# Title", "", "", "", "tag https://orvell.org"}));
    // Lists keep labels a reader can say, as the other importers write them.
    EXPECT_EQ(MarkdownStripper::strip("Steps:\n* one\n  + two\n3) three\n10. ten"),
              QString::fromUtf8("Steps:\n\u2022 one\n\u2022 two\n3. three\n10. ten"));
    // Headings stay headings, three levels deep; an empty one goes; "#tag" is text.
    EXPECT_EQ(MarkdownStripper::strip("# One\n#### Deep *down*\nPart\n----\n#\n#tag"),
              "# One\n### Deep down\n## Part\n\n\n#tag");
}

TEST(MarkdownStripper, deeplyNestedQuotesAndLongRunsOfMarkupStripWhole) {
    // Each of these once took a copy of the line per marker.
    QString nested;
    for (int i = 0; i < 200000; ++i)
        nested += QStringLiteral("> ");
    EXPECT_EQ(MarkdownStripper::strip(nested + "words\n>>> more"), "words\nmore");
    EXPECT_EQ(MarkdownStripper::strip(QString(100000, u' ') + "x"), "x");
    EXPECT_EQ(MarkdownStripper::strip("  >  > indented quote"), "indented quote");
    EXPECT_EQ(MarkdownStripper::strip("a > b stays"), "a > b stays");
}

TEST(ScriptImporter, normalizeTidiesWhitespace) {
    EXPECT_EQ(ScriptImporter::normalize("One\n\n\n\nTwo"), "One\n\nTwo");
    EXPECT_EQ(ScriptImporter::normalize(QString::fromUtf8("a  \t b\u00A0c\u200B\uFEFF")), "a b c");
    EXPECT_EQ(ScriptImporter::normalize(QString::fromUtf8("one\u2029two\r\nthree\rfour\u2028five")),
              "one\n\ntwo\nthree\nfour\nfive");
    EXPECT_EQ(ScriptImporter::normalize(QString::fromUtf8("\n \n x\uFFFC \n\n")), "x");
}

TEST(DocumentConverter, aHungOrCrashedConverterEndsInAMessage) {
    const QString path = dataPath("sample.docx");
    ScriptImportError error;
    const DocumentConverter hangs("/bin/sh", {"-c", "sleep 30", "sh"}, 300);
    EXPECT_FALSE(hangs(path, DocumentType::officeOpenXml, &error));
    EXPECT_EQ(error.errorDescription(),
              QString::fromUtf8("\u201Csample.docx\u201D took too long to convert and was left "
                                "alone. It is probably damaged \u2014 try re-saving it first."));
    const DocumentConverter crashes("/bin/sh", {"-c", "kill -SEGV $$", "sh"});
    EXPECT_FALSE(crashes(path, DocumentType::officeOpenXml, &error));
    EXPECT_EQ(error.kind, ScriptImportError::Kind::unreadable);
    const DocumentConverter cli(QStringLiteral(ORVELL_CLI), {"convert-document"});
    const auto text = cli(path, DocumentType::officeOpenXml, &error);
    ASSERT_TRUE(text);
    EXPECT_EQ(ScriptImporter::normalize(*text), expectedSample());
}

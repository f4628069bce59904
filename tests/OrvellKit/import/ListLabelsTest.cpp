#include "import/ListLabels.h"
#include "import/DocumentReaders.h"
#include "import/ScriptImporter.h"

#include "support/QtPrinters.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <zip.h>

namespace {

QString normalized(const std::optional<QString> &text) {
    return text ? ScriptImporter::normalize(*text) : QStringLiteral("<none>");
}

// A .docx with the given document and numbering parts.
QByteArray docx(const QByteArray &document, const QByteArray &numbering) {
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath("list.docx"));
    int error = 0;
    zip_t *archive = zip_open(path.constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    for (const auto &[name, bytes] :
         {std::pair<const char *, const QByteArray *>{"word/document.xml", &document},
          {"word/numbering.xml", &numbering}}) {
        zip_source_t *source = zip_source_buffer(archive, bytes->constData(),
                                                 static_cast<zip_uint64_t>(bytes->size()), 0);
        zip_file_add(archive, name, source, ZIP_FL_OVERWRITE);
    }
    zip_close(archive);
    QFile f(QString::fromUtf8(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray wordParagraph(const char *num, int level, const char *text) {
    return QByteArray("<w:p><w:pPr><w:numPr><w:ilvl w:val=\"") + QByteArray::number(level) +
           "\"/><w:numId w:val=\"" + num + "\"/></w:numPr></w:pPr><w:r><w:t>" + text +
           "</w:t></w:r></w:p>";
}

} // namespace

TEST(ListLabels, numbersAreWrittenAsTheListSays) {
    using F = ListLabels::Format;
    EXPECT_EQ(ListLabels::number(3, F::decimal), "3");
    EXPECT_EQ(ListLabels::number(2, F::lowerLetter), "b");
    EXPECT_EQ(ListLabels::number(28, F::upperLetter), "BB");
    EXPECT_EQ(ListLabels::number(14, F::lowerRoman), "xiv");
    EXPECT_EQ(ListLabels::number(1994, F::upperRoman), "MCMXCIV");
    ListLabels::Counter c;
    EXPECT_EQ(c.next(0, 1), 1);
    EXPECT_EQ(c.next(1, 1), 1);
    EXPECT_EQ(c.next(1, 1), 2);
    EXPECT_EQ(c.next(0, 1), 2);
    EXPECT_EQ(c.next(1, 1), 1); // the deeper level starts again
}

TEST(ListLabels, wordListsKeepTheirBulletsNumbersLettersAndRestarts) {
    const QByteArray numbering = R"xml(<w:numbering xmlns:w="w">
      <w:abstractNum w:abstractNumId="1">
        <w:lvl w:ilvl="0"><w:start w:val="1"/><w:numFmt w:val="decimal"/><w:lvlText w:val="%1."/></w:lvl>
        <w:lvl w:ilvl="1"><w:start w:val="1"/><w:numFmt w:val="lowerLetter"/><w:lvlText w:val="%2)"/></w:lvl>
      </w:abstractNum>
      <w:abstractNum w:abstractNumId="2">
        <w:lvl w:ilvl="0"><w:numFmt w:val="bullet"/><w:lvlText w:val="&#xF0B7;"/></w:lvl>
      </w:abstractNum>
      <w:abstractNum w:abstractNumId="3">
        <w:lvl w:ilvl="0"><w:start w:val="4"/><w:numFmt w:val="upperRoman"/><w:lvlText w:val="%1."/></w:lvl>
      </w:abstractNum>
      <w:num w:numId="1"><w:abstractNumId w:val="1"/></w:num>
      <w:num w:numId="2"><w:abstractNumId w:val="2"/></w:num>
      <w:num w:numId="3"><w:abstractNumId w:val="1"/>
        <w:lvlOverride w:ilvl="0"><w:startOverride w:val="1"/></w:lvlOverride></w:num>
      <w:num w:numId="4"><w:abstractNumId w:val="3"/></w:num>
    </w:numbering>)xml";
    const QByteArray body = "<w:document xmlns:w=\"w\"><w:body>" + wordParagraph("1", 0, "One") +
                            wordParagraph("1", 1, "Detail") + wordParagraph("1", 1, "More") +
                            wordParagraph("1", 0, "Two") + wordParagraph("2", 0, "Milk") +
                            wordParagraph("3", 0, "Again") + wordParagraph("4", 0, "Fourth") +
                            "<w:p><w:r><w:t>Plain</w:t></w:r></w:p></w:body></w:document>";
    EXPECT_EQ(normalized(DocumentReaders::docx(docx(body, numbering))),
              QString::fromUtf8("1. One\na) Detail\nb) More\n2. Two\n\u2022 Milk\n1. Again\n"
                                "IV. Fourth\nPlain"));
}

TEST(ListLabels, word2003ListsReadTheirDefinitionsFromTheDocument) {
    const QByteArray xml = R"xml(<w:wordDocument xmlns:w="w"><w:lists>
      <w:listDef w:listDefId="0"><w:lvl w:ilvl="0"><w:start w:val="1"/><w:nfc w:val="4"/>
        <w:lvlText w:val="%1."/></w:lvl></w:listDef>
      <w:list w:ilfo="1"><w:ilst w:val="0"/></w:list></w:lists><w:body>
      <w:p><w:pPr><w:listPr><w:ilvl w:val="0"/><w:ilfo w:val="1"/></w:listPr></w:pPr><w:r><w:t>Alpha</w:t></w:r></w:p>
      <w:p><w:pPr><w:listPr><w:ilvl w:val="0"/><w:ilfo w:val="1"/></w:listPr></w:pPr><w:r><w:t>Beta</w:t></w:r></w:p>
      </w:body></w:wordDocument>)xml";
    EXPECT_EQ(normalized(DocumentReaders::wordML(xml)), "a. Alpha\nb. Beta");
}

TEST(ListLabels, openDocumentListsCountAndRestartAsTheDocumentSays) {
    const QByteArray xml =
        R"xml(<office:document-content xmlns:office="o" xmlns:text="t" xmlns:style="s">
      <office:automatic-styles>
        <text:list-style style:name="N"><text:list-level-style-number text:level="1" style:num-suffix="." style:num-format="1"/>
          <text:list-level-style-number text:level="2" style:num-suffix=")" style:num-format="i"/></text:list-style>
        <text:list-style style:name="B"><text:list-level-style-bullet text:level="1" text:bullet-char="&#x2022;"/></text:list-style>
      </office:automatic-styles><office:body><office:text>
      <text:list text:style-name="N">
        <text:list-item><text:p>First</text:p><text:p>still the first item</text:p></text:list-item>
        <text:list-item><text:p>Second</text:p>
          <text:list><text:list-item><text:p>Inner</text:p></text:list-item>
            <text:list-item><text:p>Inner two</text:p></text:list-item></text:list></text:list-item>
      </text:list>
      <text:p>Between</text:p>
      <text:list text:style-name="N" text:continue-numbering="true"><text:list-item><text:p>Third</text:p></text:list-item></text:list>
      <text:list text:style-name="N"><text:list-item><text:p>Restarted</text:p></text:list-item>
        <text:list-item text:start-value="7"><text:p>Seventh</text:p></text:list-item></text:list>
      <text:list text:style-name="B"><text:list-item><text:p>Bread</text:p></text:list-item></text:list>
      </office:text></office:body></office:document-content>)xml";
    EXPECT_EQ(
        normalized(DocumentReaders::odtContent(xml)),
        QString::fromUtf8("1. First\nstill the first item\n2. Second\ni) Inner\nii) Inner two\n"
                          "Between\n3. Third\n1. Restarted\n7. Seventh\n\u2022 Bread"));
}

TEST(ListLabels, rtfListTextKeepsNumbersAndTurnsSymbolBulletsIntoBullets) {
    const QByteArray rtf = R"rtf({\rtf1\ansi{\fonttbl{\f0 Times;}{\f1\fcharset2 Symbol;}}
{\listtext 1.\tab}First\par
{\listtext 2.\tab}Second\par
{\listtext\f1\'b7\tab}Bullet\par
{\listtext \u61623\'3f\tab}Private bullet\par
{\*\pn\pnlvlblt{\pntxtb\'b7}}{\pntext\f1\'b7\tab}Old style\par})rtf";
    EXPECT_EQ(normalized(DocumentReaders::rtf(rtf)),
              QString::fromUtf8("1. First\n2. Second\n\u2022 Bullet\n\u2022 Private bullet\n"
                                "\u2022 Old style"));
}

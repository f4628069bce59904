#include "BenchText.h"
#include "import/DocumentConverter.h"
#include "import/DocumentReaders.h"
#include "import/MarkdownStripper.h"
#include "import/ScriptImporter.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <zip.h>

namespace {

// A .docx as Word writes it: paragraphs of runs with properties, 5,000 words.
QByteArray makeDocx(const QString &path, int words) {
    const QStringList paragraphs = benchScript(words).split('\n');
    QByteArray xml =
        R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
        R"(<w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"><w:body>)";
    for (const QString &p : paragraphs) {
        xml += "<w:p><w:pPr><w:pStyle w:val=\"Normal\"/><w:spacing w:after=\"120\"/></w:pPr>";
        for (const QString &sentence : p.split(QStringLiteral(". ")))
            xml += "<w:r><w:rPr><w:rFonts w:ascii=\"Calibri\"/><w:sz w:val=\"24\"/></w:rPr><w:t "
                   "xml:space=\"preserve\">" +
                   sentence.toHtmlEscaped().toUtf8() + ". </w:t></w:r>";
        xml += "</w:p>";
    }
    xml += "<w:sectPr/></w:body></w:document>";
    int error = 0;
    zip_t *zip = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    zip_source_t *source =
        zip_source_buffer(zip, xml.constData(), static_cast<zip_uint64_t>(xml.size()), 0);
    zip_file_add(zip, "word/document.xml", source, ZIP_FL_OVERWRITE);
    zip_close(zip);
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

void BM_DocxInProcess(benchmark::State &state) {
    QTemporaryDir dir;
    const QByteArray bytes = makeDocx(dir.filePath("talk.docx"), 5000);
    for (auto _ : state)
        benchmark::DoNotOptimize(DocumentReaders::docx(bytes));
    state.SetLabel("5,000 words, reader only");
}

void BM_DocxImport(benchmark::State &state) {
    QTemporaryDir dir;
    const QString path = dir.filePath("talk.docx");
    makeDocx(path, 5000);
    const DocumentConverter converter(QStringLiteral(ORVELL_CLI), {"convert-document"});
    for (auto _ : state) {
        ScriptImportError error;
        benchmark::DoNotOptimize(ScriptImporter::load(path, converter.asConverter(), &error));
    }
    state.SetLabel("5,000 words, whole import with its child process");
}

void BM_MarkdownStrip(benchmark::State &state) {
    QString md;
    const QStringList lines = benchScript(200000).split('\n');
    int i = 0;
    while (md.size() < 1024 * 1024) {
        const QString &line = lines[i++ % lines.size()];
        md += (i % 7 == 0   ? QStringLiteral("## ")
               : i % 5 == 0 ? QStringLiteral("- ")
                            : QString()) +
              QStringLiteral("**") + line.left(20) + QStringLiteral("** ") + line.mid(20) +
              QStringLiteral(" [link](http://x.y) `code`\n");
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(MarkdownStripper::strip(md));
    state.SetLabel("1 MB of Markdown");
}

} // namespace

BENCHMARK(BM_DocxInProcess)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DocxImport)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MarkdownStrip)->Unit(benchmark::kMillisecond);

// A hostile file: a million nested quote markers on one line (2 MB).
void BM_MarkdownNestedQuotes(benchmark::State &state) {
    QString md;
    md.reserve(2'000'010);
    for (int i = 0; i < 1'000'000; ++i)
        md += QStringLiteral("> ");
    md += QStringLiteral("words");
    for (auto _ : state)
        benchmark::DoNotOptimize(MarkdownStripper::strip(md));
    state.SetLabel("a million nested quote markers");
}
BENCHMARK(BM_MarkdownNestedQuotes)->Unit(benchmark::kMillisecond);

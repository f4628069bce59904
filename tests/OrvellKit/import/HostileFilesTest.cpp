#include "base/FileRead.h"
#include "import/ScriptImporter.h"
#include "library/ScriptDiskIO.h"
#include "library/ScriptStore.h"
#include "support/LibraryTestSupport.h"

#include "support/QtPrinters.h"

#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

struct HostileFixture : ::testing::Test {
    QTemporaryDir dir;

    ScriptImportError failure(const QString &path) {
        ScriptImportError error;
        EXPECT_FALSE(ScriptImporter::load(path, {}, &error)) << path.toStdString();
        return error;
    }

    QString fifo(const QString &path) {
        EXPECT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
        return path;
    }
};

} // namespace

TEST_F(HostileFixture, pipesAndDevicesAreRefusedWithoutWaitingOrReading) {
    // Without the checks each of these would hang or fill memory.
    EXPECT_EQ(failure(fifo(dir.filePath("notes.txt"))).kind, ScriptImportError::Kind::unreadable);
    const QString zero = dir.filePath("zero.txt");
    ASSERT_EQ(::symlink("/dev/zero", QFile::encodeName(zero).constData()), 0);
    EXPECT_EQ(failure(zero).errorDescription(),
              QString::fromUtf8("\u201Czero.txt\u201D could not be read. It may be damaged or in "
                                "an unexpected format."));
    const QString slides = fifo(dir.filePath("slides.docx"));
    ScriptImportError error;
    EXPECT_FALSE(ScriptImporter::load(
        slides,
        [](const QString &, DocumentType, ScriptImportError *) -> std::optional<QString> {
            ADD_FAILURE() << "a pipe reached the converter";
            return std::nullopt;
        },
        &error));
    EXPECT_EQ(error.kind, ScriptImportError::Kind::unreadable);
    EXPECT_EQ(FileRead::regular(dir.filePath("notes.txt"), 100).failure,
              FileRead::Failure::notRegularFile);

    // A pipe in the library's folder, listed in the index, is reported, not waited on.
    const QString root = dir.filePath("library");
    const Script s{QUuid::createUuid(), "Piped", "", 1, 1, false, std::nullopt};
    ASSERT_TRUE(ScriptDiskIO::writeManifest(ScriptManifest({s}, std::nullopt), root, nullptr));
    QDir().mkpath(ScriptDiskIO::scriptsDirectory(root));
    fifo(ScriptDiskIO::bodyPath(s.id, root));
    const LoadOutcome outcome = ScriptDiskIO::load(root, 0);
    EXPECT_EQ(outcome.bodyProblems.value(s.id), "not a regular file");
    EXPECT_TRUE(outcome.bodyProblemsText().contains(QString::fromUtf8("\u201CPiped\u201D")));
    // Writing the script moves the pipe aside instead of reading it.
    ScriptStore store(root, {false, {}, nullptr, {}});
    store.updateBody("typed", s.id);
    store.flushPendingSynchronously();
    EXPECT_EQ(readFile(ScriptDiskIO::bodyPath(s.id, root)), "typed");
}

TEST_F(HostileFixture, whatIsNoTextIsRefusedAndWhatIsTooLongToo) {
    QByteArray random(4096, 0);
    QRandomGenerator generator(7);
    for (char &c : random)
        c = static_cast<char>(generator.bounded(256));
    ASSERT_TRUE(writeFile(dir.filePath("random.md"), random));
    EXPECT_EQ(failure(dir.filePath("random.md")).errorDescription(),
              QString::fromUtf8("\u201Crandom.md\u201D is not a text file. It may be a program, "
                                "an image or another kind of document."));
    QByteArray elf("\x7F"
                   "ELF\x02\x01\x01",
                   7);
    elf += QByteArray(200, '\0') + "main printf";
    ASSERT_TRUE(writeFile(dir.filePath("program.txt"), elf));
    EXPECT_EQ(failure(dir.filePath("program.txt")).kind, ScriptImportError::Kind::notText);
    // A few control characters in real text do not make it binary.
    ASSERT_TRUE(writeFile(dir.filePath("form.txt"), "Page one\fPage two \x1b[0m and more words "
                                                    "than escapes in this line of text"));
    ScriptImportError none;
    EXPECT_TRUE(ScriptImporter::load(dir.filePath("form.txt"), {}, &none));

    const QByteArray huge = QByteArray("word ").repeated(Script::maxCharacters / 5 + 1);
    ASSERT_TRUE(writeFile(dir.filePath("huge.txt"), huge));
    EXPECT_EQ(failure(dir.filePath("huge.txt")).kind, ScriptImportError::Kind::tooLong);
    ASSERT_TRUE(writeFile(dir.filePath("enormous.txt"), QByteArray(20 << 20, 'a')));
    EXPECT_EQ(failure(dir.filePath("enormous.txt")).kind, ScriptImportError::Kind::tooLong);
}

TEST_F(HostileFixture, missingAndForbiddenFilesSayWhatTheyAre) {
    EXPECT_EQ(failure(dir.filePath("gone.txt")).errorDescription(),
              QString::fromUtf8("\u201Cgone.txt\u201D could not be found."));
    if (::geteuid() != 0) { // root reads whatever the permissions say
        ASSERT_TRUE(writeFile(dir.filePath("secret.txt"), "x"));
        QFile::setPermissions(dir.filePath("secret.txt"), QFileDevice::WriteOwner);
        EXPECT_EQ(failure(dir.filePath("secret.txt")).errorDescription(),
                  QString::fromUtf8("\u201Csecret.txt\u201D could not be opened: permission "
                                    "denied."));
    }
}

TEST_F(HostileFixture, titlesFromFileNamesAreCleaned) {
    EXPECT_EQ(ScriptImporter::titleFromFileName("Q3\nreview\t\x1b[31m final "),
              "Q3 review [31m final");
    EXPECT_EQ(ScriptImporter::titleFromFileName(QString::fromUtf8("caf\xef\xbf\xbd notes")),
              "caf notes");
    const QString odd = dir.filePath("Line one\nline two.txt");
    ASSERT_TRUE(writeFile(odd, "Body"));
    ScriptImportError error;
    const auto script = ScriptImporter::load(odd, {}, &error);
    ASSERT_TRUE(script);
    EXPECT_EQ(script->title, "Line one line two");
}

TEST_F(HostileFixture, aNewerIndexKeepsItsFieldsAndACopyOfItself) {
    const QString root = dir.filePath("library");
    const QUuid id = QUuid::createUuid();
    const QByteArray newer =
        QStringLiteral(
            R"({"version": 7, "tags": ["work"], "order": ["%1"], "selectedID": "%1",
            "entries": [{"id": "%1", "title": "Talk", "createdAt": "2026-01-05T00:00:00Z",
            "updatedAt": "2026-01-05T00:00:00Z", "wordCount": 1, "colour": "blue"}]})")
            .arg(Script::idText(id))
            .toUtf8();
    ASSERT_TRUE(writeFile(ScriptDiskIO::manifestPath(root), newer));
    ASSERT_TRUE(ScriptDiskIO::writeBody("Hello", id, root, nullptr));
    {
        ScriptStore store(root, {false, {}, nullptr, {}});
        store.rename(id, "Renamed here");
    }
    EXPECT_EQ(readFile(ScriptDiskIO::manifestPath(root) + ".version-7"), newer);
    const QByteArray written = readFile(ScriptDiskIO::manifestPath(root));
    EXPECT_TRUE(written.contains("Renamed here"));
    EXPECT_TRUE(written.contains("\"colour\": \"blue\"")) << written.toStdString();
    EXPECT_TRUE(written.contains("\"tags\"")) << written.toStdString();

    // An index listing one id twice counts it once.
    const QByteArray twice =
        QStringLiteral(
            R"({"entries": [{"id": "%1", "title": "A", "createdAt": "2026-01-05T00:00:00Z",
            "updatedAt": "2026-01-05T00:00:00Z", "wordCount": 1},
            {"id": "%1", "title": "B", "createdAt": "2026-01-05T00:00:00Z",
            "updatedAt": "2026-01-05T00:00:00Z", "wordCount": 1}]})")
            .arg(Script::idText(id))
            .toUtf8();
    ASSERT_TRUE(writeFile(ScriptDiskIO::manifestPath(root), twice));
    const LoadOutcome outcome = ScriptDiskIO::load(root, 0, ScriptDiskIO::LoadMode::readOnly);
    EXPECT_EQ(outcome.manifest.entries.size(), 1u);
    EXPECT_EQ(outcome.scripts().front().title, "A");
}

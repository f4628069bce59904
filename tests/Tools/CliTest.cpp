#include "Cli.h"
#include "library/LibraryLock.h"
#include "library/ScriptDiskIO.h"
#include "support/LibraryTestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

struct CliRun {
    int code = 0;
    QString out;
    QString err;
};

CliRun cli(const QStringList &args, const QString &input = QString()) {
    QString in = input;
    CliRun r;
    QTextStream inStream(&in);
    QTextStream outStream(&r.out);
    QTextStream errStream(&r.err);
    r.code = runCli(args, {inStream, outStream, errStream});
    outStream.flush();
    errStream.flush();
    return r;
}

} // namespace

TEST(Cli, wordsJsonGivesUtf16RangesAndKeys) {
    const CliRun r = cli({"words", "--json", QString::fromUtf8("\U0001F600 Caf\u00e9,"), "don't"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QJsonArray words = QJsonDocument::fromJson(r.out.toUtf8()).array();
    ASSERT_EQ(words.size(), 2);
    EXPECT_EQ(words[0].toObject(), (QJsonObject{{"location", 3}, {"length", 4}, {"key", "cafe"}}));
    EXPECT_EQ(words[1].toObject(), (QJsonObject{{"location", 9}, {"length", 5}, {"key", "dont"}}));
    EXPECT_TRUE(r.out.endsWith("\n"));
}

TEST(Cli, wordsReadsStandardInputWhenNoTextIsGiven) {
    const CliRun r = cli({"words"}, "Hello\nWORLD!\n");
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "0\t5\thello\tHello\n6\t5\tworld\tWORLD\n");
    EXPECT_EQ(cli({"words", "--json"}, "  ").out, "[]\n");
}

TEST(Cli, helpAndUsageErrors) {
    const CliRun help = cli({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_TRUE(help.out.contains("words [--json] [TEXT...]"));
    const CliRun wordsHelp = cli({"help", "words"});
    EXPECT_TRUE(wordsHelp.out.contains("\"location\""));
    EXPECT_EQ(cli({"words", "--help"}).out, wordsHelp.out);

    EXPECT_EQ(cli({}).code, 2);
    const CliRun unknown = cli({"fly"});
    EXPECT_EQ(unknown.code, 2);
    EXPECT_TRUE(unknown.err.contains("unknown command fly"));
    EXPECT_EQ(cli({"words", "--yaml"}).code, 2);
    EXPECT_EQ(cli({"help", "fly"}).code, 2);
}

namespace {

struct LibraryCli : ::testing::Test {
    QTemporaryDir dir;
    QString root = dir.filePath("lib");

    QJsonObject json(const QStringList &args) {
        const CliRun r = cli(QStringList{"library", "--root", root} + args + QStringList{"--json"});
        EXPECT_EQ(r.code, 0) << r.err.toStdString();
        return QJsonDocument::fromJson(r.out.toUtf8()).object();
    }
};

} // namespace

TEST_F(LibraryCli, listsShowsAndChecksTheLibrary) {
    Script a{QUuid::createUuid(),
             "Keynote",
             "Good morning everyone",
             1767621792.5,
             1767621800,
             true,
             300};
    Script b{QUuid::createUuid(), "Notes", "two words", 1767621700,
             1767621700,          false,   std::nullopt};
    ASSERT_TRUE(ScriptDiskIO::writeBody(a.body, a.id, root, nullptr));
    ASSERT_TRUE(ScriptDiskIO::writeBody(b.body, b.id, root, nullptr));
    ASSERT_TRUE(ScriptDiskIO::writeManifest(ScriptManifest({a, b}, b.id), root, nullptr));

    const QJsonObject list = json({"list"});
    EXPECT_EQ(list["selectedID"].toString(), Script::idText(b.id));
    const QJsonArray scripts = list["scripts"].toArray();
    ASSERT_EQ(scripts.size(), 2);
    EXPECT_EQ(scripts[0].toObject(), (QJsonObject{{"id", Script::idText(a.id)},
                                                  {"title", "Keynote"},
                                                  {"wordCount", 3},
                                                  {"createdAt", "2026-01-05T14:03:12.500Z"},
                                                  {"updatedAt", "2026-01-05T14:03:20.000Z"},
                                                  {"isFavorite", true},
                                                  {"targetSeconds", 300}}));
    EXPECT_TRUE(scripts[1].toObject()["targetSeconds"].isNull());

    const CliRun plain = cli({"library", "--root", root, "list"});
    EXPECT_TRUE(plain.out.contains("* " + Script::idText(b.id) + "  Notes  (2 words)"));

    EXPECT_EQ(json({"show", Script::idText(a.id).toLower()})["body"].toString(), a.body);
    EXPECT_EQ(cli({"library", "--root", root, "show", Script::idText(a.id)}).out,
              "Good morning everyone\n");
    EXPECT_EQ(cli({"library", "--root", root, "show", "nope"}).code, 1);

    EXPECT_TRUE(json({"check"})["recovery"].isNull());
    QFile index(ScriptDiskIO::manifestPath(root));
    ASSERT_TRUE(index.open(QIODevice::WriteOnly | QIODevice::Truncate));
    index.write("{");
    index.close();
    const QJsonObject recovery = json({"check"})["recovery"].toObject();
    EXPECT_EQ(recovery["recoveredCount"].toInt(), 2);
    EXPECT_TRUE(recovery["notice"].toString().startsWith("library.json could not be read"));
    // Reading commands report; only a writer sets a damaged index aside.
    EXPECT_TRUE(recovery["backupFile"].isNull());
    EXPECT_EQ(readFile(ScriptDiskIO::manifestPath(root)), "{");
    EXPECT_EQ(json({"list"})["scripts"].toArray().size(), 2);
    EXPECT_FALSE(json({"check"})["recovery"].isNull());
}

TEST_F(LibraryCli, reportsMissingFoldersAndBadArguments) {
    EXPECT_EQ(cli({"library", "--root", root + "/missing", "list"}).code, 1);
    EXPECT_EQ(cli({"library", "list", "--root"}).code, 2);
    EXPECT_EQ(cli({"library", "--root", root, "fly"}).code, 2);
    EXPECT_EQ(cli({"library"}).code, 2);
}

TEST_F(LibraryCli, importsIntoTheLibraryOrJustShowsTheText) {
    QDir().mkpath(root);
    const QString md = dir.filePath("Keynote.md");
    const QString pages = dir.filePath("slides.pages");
    QFile f(md);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("# Hello\nGood *morning*.");
    f.close();
    QFile p(pages);
    ASSERT_TRUE(p.open(QIODevice::WriteOnly));
    p.close();

    const CliRun dry = cli({"import", "--dry-run", "--json", md, pages});
    EXPECT_EQ(dry.code, 1);
    const QStringList lines = dry.out.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(QJsonDocument::fromJson(lines[0].toUtf8()).object(),
              (QJsonObject{{"file", md}, {"title", "Keynote"}, {"body", "# Hello\nGood morning."}}));
    const QJsonObject failure = QJsonDocument::fromJson(lines[1].toUtf8()).object();
    EXPECT_EQ(failure["error"].toString(), "Orvell cannot read .pages files.");
    EXPECT_EQ(failure["suggestion"].toString(),
              "Supported formats: plain text, Markdown, RTF and Word (.docx).");
    EXPECT_TRUE(ScriptDiskIO::load(root, 0).manifest.isEmpty()); // a dry run writes nothing

    const CliRun real = cli({"import", "--root", root, md, md});
    EXPECT_EQ(real.code, 0) << real.err.toStdString();
    EXPECT_EQ(real.out, "Imported 2 scripts.\n");
    const auto scripts = ScriptDiskIO::load(root, 0).scripts();
    ASSERT_EQ(scripts.size(), 2u);
    EXPECT_EQ(scripts[0].title, "Keynote");
    EXPECT_EQ(scripts[1].body, "# Hello\nGood morning.");
    EXPECT_EQ(cli({"import", "--root", root, pages}).out, "Orvell cannot read .pages files.\n");
}

TEST_F(LibraryCli, rhythmPrintsEachWordsTimingAndTheAllowedRange) {
    const QString script = dir.filePath("talk.txt");
    QFile f(script);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("Good morning, everyone.\n\nLet us begin.");
    f.close();
    const CliRun r =
        cli({"rhythm", "--json", "--voice", "gmw/en-US", "--style", "generous", script});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QJsonObject out = QJsonDocument::fromJson(r.out.toUtf8()).object();
    EXPECT_EQ(out["voice"].toString(), "English (America) (en-us)");
    const QJsonArray words = out["words"].toArray();
    ASSERT_EQ(words.size(), 6);
    EXPECT_EQ(words[2].toObject()["text"].toString(), "everyone");
    EXPECT_GT(words[2].toObject()["pauseAfter"].toDouble(),
              words[0].toObject()["pauseAfter"].toDouble());
    EXPECT_EQ(words[5].toObject()["pauseAfter"].toDouble(), 0);
    const QJsonArray range = out["allowedRange"].toArray();
    ASSERT_EQ(range.size(), 2);
    EXPECT_LE(range[0].toDouble(), range[1].toDouble());
    EXPECT_GT(out["naturalSeconds"].toDouble(), 0);
    EXPECT_EQ(cli({"rhythm", "--style", "loud", script}).code, 2);
}

TEST_F(LibraryCli, followReplaysARecordingAsJsonLines) {
    EXPECT_EQ(cli({"follow", "--script", "x.txt"}).code, 2);
    const QString script = dir.filePath("s.txt");
    QFile s(script);
    ASSERT_TRUE(s.open(QIODevice::WriteOnly));
    s.write("Thank you all for coming this evening. Tonight we celebrate the volunteers.");
    s.close();
    const CliRun bad = cli({"follow", "--script", script, "--audio", script});
    EXPECT_EQ(bad.code, 1);
    EXPECT_TRUE(bad.err.contains("not a WAV file")) << bad.err.toStdString();

    // espeak-ng writes the recording; the replay must get near the last word.
    const QString wav = dir.filePath("s.wav");
    ASSERT_EQ(QProcess::execute("espeak-ng", {"-v", "en-us", "-w", wav, "-f", script}), 0);
    const CliRun r = cli({"follow", "--script", script, "--audio", wav, "--json"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QStringList lines = r.out.trimmed().split('\n');
    ASSERT_GE(lines.size(), 3);
    double lastT = 0;
    int lastCursor = 0;
    for (const QString &line : lines.mid(0, lines.size() - 1)) {
        const QJsonObject o = QJsonDocument::fromJson(line.toUtf8()).object();
        EXPECT_GT(o["t"].toDouble(), lastT);
        EXPECT_GT(o["cursor"].toInt(), lastCursor);
        lastT = o["t"].toDouble();
        lastCursor = o["cursor"].toInt();
    }
    const QJsonObject done = QJsonDocument::fromJson(lines.last().toUtf8()).object();
    EXPECT_TRUE(done["done"].toBool());
    EXPECT_EQ(done["words"].toInt(), 12);
    EXPECT_EQ(done["cursor"].toInt(), lastCursor);
    EXPECT_GE(lastCursor, 9);
}

TEST_F(LibraryCli, aWriterThatCannotTakeTheLockWritesNothingAndSaysWhy) {
    const QString talk = dir.filePath("talk.txt");
    ASSERT_TRUE(writeFile(talk, "A talk to import"));
    const QString held = dir.filePath("held");
    auto lock = LibraryLock::tryAcquire(held);
    ASSERT_TRUE(lock);
    const CliRun refused = cli({"import", "--root", held, talk});
    EXPECT_EQ(refused.code, 1);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("in use by another program (process %1)")
                                         .arg(QCoreApplication::applicationPid())))
        << refused.err.toStdString();
    EXPECT_FALSE(QFile::exists(ScriptDiskIO::manifestPath(held)));
    EXPECT_TRUE(filesIn(ScriptDiskIO::scriptsDirectory(held)).isEmpty());

    const CliRun check = cli({"library", "--root", held, "check"});
    EXPECT_TRUE(check.out.contains(
        QStringLiteral("being written by process %1").arg(QCoreApplication::applicationPid())))
        << check.out.toStdString();
    lock.reset();
    EXPECT_EQ(cli({"import", "--root", held, talk}).code, 0);
    EXPECT_FALSE(cli({"library", "--root", held, "check"}).out.contains("being written"));
}

TEST_F(LibraryCli, importingIsAllOrNothingPerFileAndNamesEveryFailure) {
    const QString ok = dir.filePath("ok.txt");
    const QString empty = dir.filePath("empty.txt");
    ASSERT_TRUE(writeFile(ok, "Opening remarks"));
    ASSERT_TRUE(writeFile(empty, "  \n"));

    // A failed import writes nothing, not even an empty library.
    const QString fresh = dir.filePath("fresh");
    EXPECT_EQ(cli({"import", "--root", fresh, empty}).code, 1);
    EXPECT_FALSE(QFileInfo::exists(fresh));

    // One good file and one bad: the good one is in, the bad one named, exit 1.
    const CliRun mixed = cli({"import", "--root", root, "--json", ok, empty});
    EXPECT_EQ(mixed.code, 1);
    const QStringList lines = mixed.out.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 3) << mixed.out.toStdString();
    const QJsonObject first = QJsonDocument::fromJson(lines[0].toUtf8()).object();
    EXPECT_EQ(first["file"].toString(), ok);
    EXPECT_FALSE(first["id"].toString().isEmpty());
    EXPECT_EQ(QJsonDocument::fromJson(lines[1].toUtf8()).object()["error"].toString(),
              "That file has no text in it.");
    const QJsonObject total = QJsonDocument::fromJson(lines[2].toUtf8()).object();
    EXPECT_EQ(total["imported"].toInt(), 1);
    EXPECT_EQ(total["failed"].toInt(), 1);
    EXPECT_TRUE(mixed.err.contains(empty + ": That file has no text in it."))
        << mixed.err.toStdString();

    // A body that cannot be written leaves no entry behind, and says why.
    const QString blocked = dir.filePath("blocked");
    ASSERT_TRUE(writeFile(ScriptDiskIO::scriptsDirectory(blocked), "a file where the folder goes"));
    const CliRun noBody = cli({"import", "--root", blocked, ok});
    EXPECT_EQ(noBody.code, 1);
    EXPECT_FALSE(noBody.out.contains("Imported")) << noBody.out.toStdString();
    EXPECT_TRUE(noBody.err.contains(ok + ": not imported: could not write"))
        << noBody.err.toStdString();
    EXPECT_FALSE(noBody.err.contains("while Orvell is open"));
    EXPECT_FALSE(QFileInfo::exists(ScriptDiskIO::manifestPath(blocked)));
}

TEST_F(LibraryCli, missingScriptFilesAreReportedAndTheirEntriesKept) {
    const QString talk = dir.filePath("talk.txt");
    ASSERT_TRUE(writeFile(talk, "A talk"));
    ASSERT_EQ(cli({"import", "--root", root, talk}).code, 0);
    const QJsonObject listed = json({"list"});
    const QString id = listed["scripts"].toArray().at(0).toObject()["id"].toString();
    ASSERT_TRUE(QFile::remove(ScriptDiskIO::scriptsDirectory(root) + "/" + id + ".txt"));

    const QJsonObject check = json({"check"});
    EXPECT_EQ(check["missingBodies"].toArray().at(0).toString(), id);
    EXPECT_EQ(check["scripts"].toInt(), 1);
    const CliRun plain = cli({"library", "--root", root, "check"});
    EXPECT_TRUE(plain.out.contains(QString::fromUtf8("The text of \u201Ctalk\u201D is missing")))
        << plain.out.toStdString();
    const CliRun show = cli({"library", "--root", root, "show", id});
    EXPECT_EQ(show.code, 1);
    EXPECT_TRUE(show.err.contains("missing"));
    EXPECT_EQ(json({"list"})["scripts"].toArray().size(), 1);
}

TEST_F(LibraryCli, aFileNameThatIsNotUtf8CanBeImported) {
    // Made and named by the shell, byte for byte: "caf\xE9 notes.txt" in Latin-1.
    QProcess shell;
    shell.setWorkingDirectory(dir.path());
    shell.start("/bin/sh", {"-c",
                            "printf 'Bytes in the name\\n' > \"$(printf 'caf\\351 notes.txt')\" && "
                            "\"$0\" import --dry-run --json \"$(printf 'caf\\351 notes.txt')\"",
                            QStringLiteral(ORVELL_CLI)});
    ASSERT_TRUE(shell.waitForFinished(30000));
    EXPECT_EQ(shell.exitCode(), 0) << shell.readAllStandardError().toStdString();
    const QJsonObject imported =
        QJsonDocument::fromJson(shell.readAllStandardOutput().trimmed()).object();
    EXPECT_EQ(imported["body"].toString(), "Bytes in the name");
    EXPECT_EQ(imported["title"].toString(), "caf_ notes");
}

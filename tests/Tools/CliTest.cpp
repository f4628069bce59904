#include "Cli.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include "QtPrinters.h"

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

#include "CrashBody.h"
#include "library/ScriptDiskIO.h"

#include <QDir>
#include <QHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

namespace {

int rounds() {
    const int n = qEnvironmentVariableIntValue("ORVELL_CRASH_ROUNDS");
    return n > 0 ? n : 10;
}

struct Confirmed {
    QHash<QUuid, int> saved;
    QSet<QUuid> deletingAfterSave;
};

// Reads the child's complete lines; a line cut by the kill is ignored.
void readConfirmations(const QByteArray &output, Confirmed &c) {
    const QList<QByteArray> lines = output.split('\n');
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        const QList<QByteArray> parts = lines[i].split(' ');
        const auto id = Script::parseId(QString::fromLatin1(parts.value(1)));
        if (!id)
            continue;
        if (parts[0] == "saved" && parts.size() == 3) {
            c.saved.insert(*id, parts[2].toInt());
            c.deletingAfterSave.remove(*id);
        } else if (parts[0] == "deleting") {
            c.deletingAfterSave.insert(*id);
        }
    }
}

} // namespace

TEST(LibraryCrash, killedMidEditTheLibraryLoadsAndSavedScriptsAreIntact) {
    const QString child = QStringLiteral(ORVELL_CRASH_CHILD);
    QTemporaryDir dir;
    const QString root = dir.filePath("library");
    QRandomGenerator random(20261206);
    int kills = 0;
    int checked = 0;
    for (int round = 0; round < rounds(); ++round) {
        QProcess process;
        process.start(child, {root, QString::number(random.bounded(1u << 30))});
        ASSERT_TRUE(process.waitForStarted());
        // Let it make a random number of edits, then kill it wherever it is.
        const int wanted = 1 + static_cast<int>(random.bounded(150));
        QByteArray output;
        while (output.count("op\n") < wanted && process.state() == QProcess::Running) {
            if (process.waitForReadyRead(30000))
                output += process.readAllStandardOutput();
            else
                break;
        }
        ASSERT_EQ(process.state(), QProcess::Running)
            << process.readAllStandardError().toStdString();
        ::kill(static_cast<pid_t>(process.processId()), SIGKILL);
        process.waitForFinished();
        output += process.readAllStandardOutput();
        ++kills;

        Confirmed confirmed;
        readConfirmations(output, confirmed);

        // No body file is torn, wherever the kill landed.
        const QDir scripts(ScriptDiskIO::scriptsDirectory(root));
        for (const QString &name : scripts.entryList(QDir::Files)) {
            QFile file(scripts.filePath(name));
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            ASSERT_TRUE(CrashBody::version(QString::fromUtf8(file.readAll())))
                << "torn body " << name.toStdString() << " in round " << round;
        }

        // The index is always whole, so loading never has to recover.
        const LoadOutcome outcome = ScriptDiskIO::load(root, 0);
        ASSERT_FALSE(outcome.recovery) << outcome.recovery->reason.toStdString();

        // Every save the child saw complete is still there, at that version or later.
        for (auto it = confirmed.saved.cbegin(); it != confirmed.saved.cend(); ++it) {
            if (confirmed.deletingAfterSave.contains(it.key()))
                continue;
            ASSERT_TRUE(outcome.bodies.contains(it.key())) << "round " << round;
            const auto version = CrashBody::version(outcome.bodies.value(it.key()));
            ASSERT_TRUE(version);
            EXPECT_GE(*version, it.value()) << "round " << round;
            ++checked;
        }
    }
    std::printf("%d kills, %d confirmed saves checked, library intact after each\n", kills,
                checked);
}

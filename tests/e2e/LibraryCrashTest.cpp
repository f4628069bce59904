#include "CrashBody.h"
#include "library/ScriptDiskIO.h"

#include <QDir>
#include <QHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
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

// orvell-cli importing a one-line text into the library; its exit code.
int cliImport(const QString &root, const QString &folder, const QString &text) {
    const QString file = folder + QStringLiteral("/") + QString::number(qHash(text)) + ".txt";
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly) || f.write(text.toUtf8()) < 0)
        return -1;
    f.close();
    QProcess cli;
    cli.start(QStringLiteral(ORVELL_CLI), {"import", "--root", root, file});
    cli.waitForFinished(30000);
    return cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
}

} // namespace

TEST(LibraryCrash, killedMidEditTheLibraryLoadsAndSavedScriptsAreIntact) {
    const QString child = QStringLiteral(ORVELL_CRASH_CHILD);
    QTemporaryDir dir;
    const QString root = dir.filePath("library");
    QRandomGenerator random(20261206);
    int kills = 0;
    int checked = 0;
    // Texts a second writer (orvell-cli) was refused or confirmed.
    QSet<QString> refused, imported;
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
        // A second writer while the child holds the library: it never writes.
        const QString busy = QStringLiteral("Imported while the editor runs, round %1").arg(round);
        const int busyCode = cliImport(root, dir.path(), busy);
        if (busyCode == 0)
            imported.insert(busy); // the child had not taken the lock yet
        else
            refused.insert(busy);
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
            const QString text = QString::fromUtf8(file.readAll());
            ASSERT_FALSE(refused.contains(text)) << "a refused writer wrote " << name.toStdString();
            ASSERT_TRUE(imported.contains(text) || CrashBody::version(text))
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
            const QString body = outcome.bodies.value(it.key());
            // An imported script the child saved without editing it.
            if (it.value() < 0 && imported.contains(body)) {
                ++checked;
                continue;
            }
            const auto version = CrashBody::version(body);
            ASSERT_TRUE(version);
            EXPECT_GE(*version, it.value()) << "round " << round;
            ++checked;
        }

        // With nobody else writing, the second writer's import is confirmed
        // and found whole at once.
        const QString idle = QStringLiteral("Imported between two editors, round %1").arg(round);
        ASSERT_EQ(cliImport(root, dir.path(), idle), 0) << "round " << round;
        imported.insert(idle);
        const LoadOutcome after = ScriptDiskIO::load(root, 0, ScriptDiskIO::LoadMode::readOnly);
        ASSERT_FALSE(after.recovery);
        const auto scriptsAfter = after.scripts();
        EXPECT_TRUE(std::any_of(scriptsAfter.begin(), scriptsAfter.end(),
                                [&](const Script &s) {
                                    return s.body == idle &&
                                           s.title == QString::number(qHash(idle)) &&
                                           after.manifest.selectedID == s.id;
                                }))
            << "round " << round;
        ++checked;
    }
    std::printf("%d kills, %d confirmed saves checked, %d imports refused while the editor ran, "
                "library intact after each\n",
                kills, checked, static_cast<int>(refused.size()));
}

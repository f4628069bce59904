#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTest>

#include <functional>

// Waits, handling events, until `done` holds or the deadline passes.
inline bool waitUntil(const std::function<bool()> &done, int ms = 10000) {
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        if (done())
            return true;
        QTest::qWait(20);
    }
    return done();
}

// Runs a helper program (xdotool, xwininfo) while this process keeps handling events.
inline QString run(const QString &program, const QStringList &args) {
    QProcess p;
    p.start(program, args);
    while (!p.waitForFinished(20))
        QCoreApplication::processEvents();
    return QString::fromLocal8Bit(p.readAllStandardOutput());
}

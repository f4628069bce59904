#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTest>
#include <QWidget>

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

// Gives a window the focus, asking again while a window manager that has
// only just started is not yet managing it.
inline bool activate(QWidget &window, int ms = 10000) {
    return waitUntil(
        [&] {
            if (window.isActiveWindow())
                return true;
            window.raise();
            window.activateWindow();
            QTest::qWait(100);
            return window.isActiveWindow();
        },
        ms);
}

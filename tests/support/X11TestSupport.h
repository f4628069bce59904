#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTest>
#include <QWidget>

#include <functional>

#include <gtest/gtest.h>

// openbox for as long as it lives, or until stop(): real stacking and focus.
struct WindowManager {
    QProcess process;
    WindowManager() { process.start(QStringLiteral("openbox"), {}); }
    ~WindowManager() { stop(); }
    bool started() { return process.waitForStarted(); }
    void stop() {
        if (process.state() == QProcess::NotRunning)
            return;
        process.terminate();
        process.waitForFinished(5000);
    }
};

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
inline QString run(const QString &program, const QStringList &args,
                   const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment()) {
    QProcess p;
    p.setProcessEnvironment(environment);
    p.start(program, args);
    // Bounded: a tool that never starts or hangs on a busy server fails
    // its test instead of holding the whole run until its timeout.
    QDeadlineTimer deadline(20000);
    while (p.state() != QProcess::NotRunning && !p.waitForFinished(20)) {
        QCoreApplication::processEvents();
        if (deadline.hasExpired()) {
            p.kill();
            p.waitForFinished(1000);
            ADD_FAILURE() << program.toStdString() << " did not finish within 20 s";
            break;
        }
    }
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

#include "Cli.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char *argv[]) {
    // Following a reading lays the script out as the island does, which
    // needs fonts: a GUI application without a screen.
    std::unique_ptr<QCoreApplication> app;
    if (argc > 1 && std::strcmp(argv[1], "follow") == 0) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QTextStream in(stdin);
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    // A file name that is not valid UTF-8 cannot pass through a QString;
    // such a file is reached through a link with a readable name instead.
    QTemporaryDir links;
    for (int i = 1; i < argc && i - 1 < args.size(); ++i) {
        const QByteArray raw(argv[i]);
        if (QString::fromUtf8(raw).toUtf8() == raw || !links.isValid())
            continue;
        struct stat st {};
        if (::stat(raw.constData(), &st) != 0)
            continue;
        const QString shown = QFileInfo(QString::fromUtf8(raw))
                                  .fileName()
                                  .replace(QChar::ReplacementCharacter, QLatin1Char('_'));
        const QString link = links.filePath(QString::number(i) + QLatin1Char('/') + shown);
        QDir().mkpath(QFileInfo(link).path());
        char *target = ::realpath(raw.constData(), nullptr);
        if (target && ::symlink(target, QFile::encodeName(link).constData()) == 0)
            args[i - 1] = link;
        std::free(target);
    }
    const int code = runCli(args, {in, out, err});
    out.flush();
    err.flush();
    return code;
}

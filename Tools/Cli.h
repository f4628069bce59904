#pragma once

#include <QStringList>

class QTextStream;

// orvell-cli: the command-line companion. Kept apart from main() so tests can
// run commands with their own streams.
struct CliStreams {
    QTextStream &in;
    QTextStream &out;
    QTextStream &err;
};

// `args` excludes the program name. Returns the process exit code.
int runCli(const QStringList &args, CliStreams io);

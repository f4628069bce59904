#include "Cli.h"

#include "CliCommand.h"

#include <QTextStream>

using namespace Cli;

namespace {

const std::vector<const Command *> &commands() {
    static const std::vector<const Command *> table = {
        &wordsCommand(),  &libraryCommand(), &importCommand(),          &rhythmCommand(),
        &followCommand(), &sendCommand(),    &convertDocumentCommand(),
    };
    return table;
}

void printUsage(QTextStream &out) {
    out << "Usage: orvell-cli COMMAND [OPTIONS]\n\n"
           "The command-line companion of Orvell, the script prompter.\n\n"
           "Commands:\n";
    for (const Command *c : commands())
        if (c->synopsis) // internal commands have none
            out << "  " << c->synopsis << "\n";
    out << "\nRun 'orvell-cli help COMMAND' for a command's options and output.\n"
           "Every --json output is stable: fields are only ever added.\n"
           "Exit codes: 0 done, 1 failed, 2 usage error.\n";
}

const Command *findCommand(const QString &name) {
    for (const Command *c : commands())
        if (name == QLatin1StringView(c->name))
            return c;
    return nullptr;
}

void printCommandHelp(const Command &c, QTextStream &out) {
    if (!c.synopsis)
        return;
    out << "Usage: orvell-cli " << c.synopsis << "\n\n" << c.help;
}

} // namespace

int runCli(const QStringList &args, CliStreams io) {
    if (args.isEmpty()) {
        printUsage(io.err);
        return exitUsage;
    }
    const QString &first = args.first();
    if (first == u"--help" || first == u"-h" || first == u"help") {
        if (args.size() > 1) {
            if (const Command *c = findCommand(args.at(1))) {
                printCommandHelp(*c, io.out);
                return exitOk;
            }
            io.err << "orvell-cli: no command named " << args.at(1) << "\n";
            return exitUsage;
        }
        printUsage(io.out);
        return exitOk;
    }
    const Command *command = findCommand(first);
    if (!command) {
        io.err << "orvell-cli: unknown command " << first << "\n\n";
        printUsage(io.err);
        return exitUsage;
    }
    const QStringList rest = args.mid(1);
    if (rest.contains(QLatin1StringView("--help")) || rest.contains(QLatin1StringView("-h"))) {
        printCommandHelp(*command, io.out);
        return exitOk;
    }
    return command->run(rest, io);
}

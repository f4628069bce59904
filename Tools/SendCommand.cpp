#include "CliCommand.h"
#include "RunningApp.h"

#include "commands/HotKeyAction.h"

#include <QTextStream>

namespace Cli {

namespace {

// The commands by the names the shortcuts are stored under, and the method
// each calls.
QList<std::pair<QString, QString>> sendable() {
    QList<std::pair<QString, QString>> list;
    for (HotKeyAction action : HotKeyActions::names.values())
        list.append({HotKeyActions::names.name(action), HotKeyActions::busMethod(action)});
    list.append({QStringLiteral("showLibrary"), QStringLiteral("ShowLibrary")});
    return list;
}

int run(const QStringList &args, CliStreams io) {
    const auto options = Options::parse("send", args, {}, io.err);
    if (!options)
        return exitUsage;
    const QStringList &rest = options->positional();
    QString method;
    for (const auto &[name, busMethod] : sendable())
        if (rest.size() == 1 && rest.first() == name)
            method = busMethod;
    if (method.isEmpty())
        return usageError(io.err, "send",
                          QStringLiteral("name one command (orvell-cli help send lists them)"));
    QString why;
    if (!RunningApp::call(method, {}, 5000, &why)) {
        io.err << "orvell-cli send: " << why << "\n";
        return exitFailure;
    }
    return exitOk;
}

QByteArray help() {
    QByteArray text = "Sends a command to the Orvell running on this session (over the session\n"
                      "bus, org.orvell.Orvell), as its shortcuts would. A desktop's own keyboard\n"
                      "settings can bind keys to these lines. The commands:\n";
    for (const auto &[name, method] : sendable())
        text += "  " + name.toUtf8() + "\n";
    text += "Exit code 1 with \"Orvell is not running.\" when no Orvell answers.\n";
    return text;
}

} // namespace

const Command &sendCommand() {
    static const QByteArray text = help();
    static const Command command{"send", "send COMMAND", text.constData(), run};
    return command;
}

} // namespace Cli

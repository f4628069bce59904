#include "CliCommand.h"

#include "import/DocumentConverter.h"

#include <QTextStream>

namespace Cli {

// The child process of an import: converts one rich document and writes its
// text to standard output. Not listed in the help.
const Command &convertDocumentCommand() {
    static const Command command{
        "convert-document", nullptr, nullptr, [](const QStringList &args, CliStreams io) {
            if (args.size() != 2)
                return usageError(io.err, "convert-document", QStringLiteral("TYPE PATH"));
            return DocumentConverter::runChild(args.at(0), args.at(1));
        }};
    return command;
}

} // namespace Cli

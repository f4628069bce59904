#include "FuzzTargets.h"
#include "import/MarkdownStripper.h"
#include "import/ScriptImporter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    ScriptImporter::normalize(MarkdownStripper::strip(text));
    return 0;
}

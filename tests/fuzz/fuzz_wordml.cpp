#include "FuzzTargets.h"
#include "import/DocumentReaders.h"

// Zip archives go through the .docx path, anything else is read as WordprocessingML.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    if (bytes.startsWith("PK"))
        DocumentReaders::docx(bytes);
    else
        DocumentReaders::wordML(bytes);
    return 0;
}

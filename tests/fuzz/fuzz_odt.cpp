#include "FuzzTargets.h"
#include "import/DocumentReaders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    if (bytes.startsWith("PK"))
        DocumentReaders::odt(bytes);
    else
        DocumentReaders::odtContent(bytes);
    return 0;
}

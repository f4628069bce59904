#include "FuzzTargets.h"
#include "import/DocumentReaders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    DocumentReaders::rtf(
        QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)));
    return 0;
}

#include "FuzzTargets.h"
#include "base/TextDecoding.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    // Latin-1 takes any bytes, so decoding always gives a text; a text no
    // longer than the bytes can ever be is a decoder gone wrong.
    const QString text = TextDecoding::decodeWithFallbacks(bytes);
    if (text.size() > bytes.size())
        std::abort();
    return 0;
}

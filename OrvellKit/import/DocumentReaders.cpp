#include "import/DocumentReaders.h"

#include "base/FileRead.h"

#include <QFileInfo>

namespace DocumentReaders {

std::optional<QString> read(const QString &path, DocumentType type) {
    // An .rtfd is a folder whose text is TXT.rtf.
    const QString file = type == DocumentType::rtfd && QFileInfo(path).isDir()
                             ? path + QStringLiteral("/TXT.rtf")
                             : path;
    const FileRead::Result read = FileRead::regular(file, maxSize);
    if (!read.bytes)
        return std::nullopt;
    const QByteArray &bytes = *read.bytes;
    switch (type) {
    case DocumentType::rtf:
    case DocumentType::rtfd:
        return rtf(bytes);
    case DocumentType::officeOpenXml:
        // A .wordml file is the XML itself; a .docx is a zip archive.
        return bytes.startsWith("PK") ? docx(bytes) : wordML(bytes);
    case DocumentType::word97:
        return word97(bytes);
    case DocumentType::openDocument:
        return odt(bytes);
    }
    return std::nullopt;
}

} // namespace DocumentReaders

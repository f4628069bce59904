#include "base/TextDecoding.h"

#include <QStringDecoder>

namespace TextDecoding {

namespace {

// Windows-1252 differs from Latin-1 only in 0x80–0x9F; five of those bytes
// are undefined, and a file holding them is not Windows-1252.
constexpr char16_t windows1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

std::optional<QString> decodeWith(QStringConverter::Encoding encoding, const QByteArray &bytes,
                                  QStringConverter::Flags flags = QStringConverter::Flag::Default) {
    QStringDecoder decoder(encoding, flags | QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

bool startsWith(const QByteArray &bytes, std::initializer_list<unsigned char> prefix) {
    if (bytes.size() < static_cast<qsizetype>(prefix.size()))
        return false;
    qsizetype i = 0;
    for (unsigned char b : prefix) {
        if (static_cast<unsigned char>(bytes.at(i++)) != b)
            return false;
    }
    return true;
}

} // namespace

bool hasUTF16BOM(const QByteArray &bytes) {
    return startsWith(bytes, {0xFE, 0xFF}) || startsWith(bytes, {0xFF, 0xFE});
}

std::optional<QString> decode(const QByteArray &bytes, Encoding encoding) {
    switch (encoding) {
    case Encoding::utf8:
        // The decoder drops a leading byte-order mark.
        return decodeWith(QStringConverter::Utf8, bytes);
    case Encoding::utf16:
        // A stray last byte (a file cut short, or padded by a tool) is no
        // reason to lose the whole text: the complete units are decoded.
        return decodeWith(QStringConverter::Utf16, bytes.first(bytes.size() - bytes.size() % 2));
    case Encoding::windows1252: {
        QString text(bytes.size(), Qt::Uninitialized);
        QChar *out = text.data();
        for (char ch : bytes) {
            const auto b = static_cast<unsigned char>(ch);
            const char16_t u = b >= 0x80 && b < 0xA0 ? windows1252High[b - 0x80] : b;
            if (u == 0)
                return std::nullopt;
            *out++ = QChar(u);
        }
        return text;
    }
    case Encoding::latin1:
        return QString::fromLatin1(bytes);
    }
    return std::nullopt;
}

std::optional<QString> decodeTrustedUnicode(const QByteArray &bytes) {
    if (startsWith(bytes, {0x00, 0x00, 0xFE, 0xFF}) || startsWith(bytes, {0xFF, 0xFE, 0x00, 0x00}))
        return decodeWith(QStringConverter::Utf32, bytes);
    if (hasUTF16BOM(bytes))
        return decode(bytes, Encoding::utf16);
    return decode(bytes, Encoding::utf8);
}

QString decodeWithFallbacks(const QByteArray &bytes) {
    if (auto text = decodeTrustedUnicode(bytes))
        return *text;
    for (Encoding encoding : fallbackEncodings) {
        if (encoding == Encoding::utf16 && !hasUTF16BOM(bytes))
            continue;
        if (auto text = decode(bytes, encoding))
            return *text;
    }
    return QString::fromLatin1(bytes);
}

bool looksLikeText(QStringView text) {
    qsizetype controls = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == 0)
            return false;
        const bool breakOrTab = u == '\t' || u == '\n' || u == '\r' || u == '\f' || u == '\v';
        if ((u < 0x20 && !breakOrTab) || (u >= 0x7F && u <= 0x9F))
            ++controls;
    }
    return controls * 20 <= text.size();
}

} // namespace TextDecoding

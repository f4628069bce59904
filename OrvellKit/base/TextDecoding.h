#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Decodes text whatever encoding an editor saved it in: imported files and
// the library's own body files alike.
namespace TextDecoding {
enum class Encoding { utf8, utf16, windows1252, latin1 };

// The order in which encodings are tried when a file is not trusted Unicode.
inline constexpr Encoding fallbackEncodings[] = {Encoding::utf8, Encoding::utf16,
                                                 Encoding::windows1252, Encoding::latin1};

bool hasUTF16BOM(const QByteArray &bytes);
// Strict: nothing for bytes that are not valid in that encoding.
std::optional<QString> decode(const QByteArray &bytes, Encoding encoding);
// Unicode text recognised by its byte-order mark or by being valid UTF-8,
// the mark removed; nothing otherwise.
std::optional<QString> decodeTrustedUnicode(const QByteArray &bytes);
// Trusted Unicode first, then each fallback encoding (UTF-16 only with a
// byte-order mark). Latin-1 takes any bytes, so this always gives a text.
QString decodeWithFallbacks(const QByteArray &bytes);
// False for what is no text a person wrote: a NUL, or more than one character
// in twenty a control character other than tab, line and page breaks (an
// executable, random bytes or an image renamed .txt have far more).
bool looksLikeText(QStringView text);
} // namespace TextDecoding

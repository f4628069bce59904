#include "import/DocumentReaders.h"

#include "base/TextDecoding.h"
#include "import/ListLabels.h"

#include <QStringDecoder>

#include <QHash>

#include <algorithm>
#include <array>
#include <functional>
#include <tuple>
#include <vector>

namespace DocumentReaders {

namespace {

// Little-endian numbers at any offset; 0 past the end of the data.
quint32 littleEndian(const QByteArray &b, qsizetype at, int bytes) {
    if (at < 0 || at + bytes > b.size())
        return 0;
    quint32 value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(b.at(at + i));
    return value;
}

quint16 u16(const QByteArray &b, qsizetype at) {
    return static_cast<quint16>(littleEndian(b, at, 2));
}

quint32 u32(const QByteArray &b, qsizetype at) {
    return littleEndian(b, at, 4);
}

// UTF-16LE from bytes at any alignment.
QString littleEndianText(const QByteArray &bytes) {
    QStringDecoder decoder(QStringConverter::Utf16LE, QStringConverter::Flag::Stateless);
    return decoder.decode(bytes);
}

constexpr quint32 endOfChain = 0xFFFFFFFE;
constexpr quint32 freeSector = 0xFFFFFFFF;

// A compound file (the container of Word 97 documents): streams are chains
// of sectors listed in the allocation table; small ones live in the mini stream.
class CompoundFile {
public:
    explicit CompoundFile(const QByteArray &bytes)
        : m_bytes(bytes) {}

    bool open() {
        if (m_bytes.size() < 512 || !m_bytes.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"))
            return false;
        const int shift = u16(m_bytes, 30);
        if (shift != 9 && shift != 12)
            return false;
        m_sectorSize = 1 << shift;
        const int miniShift = u16(m_bytes, 32);
        if (miniShift != 6)
            return false;
        const quint32 fatSectors = u32(m_bytes, 44);
        const quint32 directoryStart = u32(m_bytes, 48);
        m_miniCutoff = u32(m_bytes, 56);
        const quint32 miniFatStart = u32(m_bytes, 60);
        quint32 difatSector = u32(m_bytes, 68);
        const quint32 difatCount = u32(m_bytes, 72);
        if (fatSectors > static_cast<quint32>(m_bytes.size() / m_sectorSize + 1))
            return false;

        // The allocation table's own sectors: 109 in the header, the rest in a chain.
        std::vector<quint32> fatList;
        for (int i = 0; i < 109 && fatList.size() < fatSectors; ++i)
            fatList.push_back(u32(m_bytes, 76 + 4 * i));
        for (quint32 n = 0; n < difatCount && fatList.size() < fatSectors; ++n) {
            if (difatSector >= endOfChain)
                return false;
            const qsizetype base = offsetOf(difatSector);
            const int perSector = m_sectorSize / 4 - 1;
            for (int i = 0; i < perSector && fatList.size() < fatSectors; ++i)
                fatList.push_back(u32(m_bytes, base + 4 * i));
            difatSector = u32(m_bytes, base + 4 * perSector);
        }
        for (quint32 sector : fatList) {
            const qsizetype base = offsetOf(sector);
            if (base < 0 || base + m_sectorSize > m_bytes.size())
                return false;
            for (int i = 0; i < m_sectorSize / 4; ++i)
                m_fat.push_back(u32(m_bytes, base + 4 * i));
        }
        m_directory = chain(directoryStart, m_fat, false);
        if (m_directory.isEmpty())
            return false;
        m_miniFat.clear();
        const QByteArray miniFatBytes = chain(miniFatStart, m_fat, false);
        for (qsizetype i = 0; i + 4 <= miniFatBytes.size(); i += 4)
            m_miniFat.push_back(u32(miniFatBytes, i));
        // The root entry's stream is the mini stream.
        m_miniStream = chain(u32(m_directory, 116), m_fat, false);
        return true;
    }

    std::optional<QByteArray> stream(const QString &name) const {
        for (qsizetype at = 0; at + 128 <= m_directory.size(); at += 128) {
            const int nameBytes = u16(m_directory, at + 64);
            if (nameBytes < 2 || nameBytes > 64)
                continue;
            const QString entry = littleEndianText(m_directory.mid(at, nameBytes - 2));
            if (entry != name || m_directory.at(at + 66) != 2) // a stream object
                continue;
            const quint32 start = u32(m_directory, at + 116);
            const quint32 size = u32(m_directory, at + 120);
            if (size > maxSize)
                return std::nullopt;
            QByteArray data =
                size < m_miniCutoff ? chain(start, m_miniFat, true) : chain(start, m_fat, false);
            if (data.size() < static_cast<qsizetype>(size))
                return std::nullopt;
            data.truncate(size);
            return data;
        }
        return std::nullopt;
    }

private:
    qsizetype offsetOf(quint32 sector) const {
        return (static_cast<qsizetype>(sector) + 1) * m_sectorSize;
    }

    // The sectors of a chain, joined; stops at a loop or a sector outside the file.
    QByteArray chain(quint32 start, const std::vector<quint32> &table, bool mini) const {
        QByteArray out;
        const int size = mini ? 64 : m_sectorSize;
        size_t steps = 0;
        for (quint32 s = start; s != endOfChain && s != freeSector; s = table[s]) {
            if (s >= table.size() || ++steps > table.size())
                return out; // a loop or a broken link
            if (mini) {
                const qsizetype at = static_cast<qsizetype>(s) * 64;
                if (at + 64 > m_miniStream.size())
                    return out;
                out += m_miniStream.mid(at, 64);
            } else {
                const qsizetype at = offsetOf(s);
                if (at + size > m_bytes.size())
                    return out;
                out += m_bytes.mid(at, size);
            }
            if (out.size() > maxSize)
                return out;
        }
        return out;
    }

    const QByteArray &m_bytes;
    int m_sectorSize = 512;
    quint32 m_miniCutoff = 4096;
    std::vector<quint32> m_fat;
    std::vector<quint32> m_miniFat;
    QByteArray m_directory;
    QByteArray m_miniStream;
};

// The characters of the 8-bit pieces: Windows-1252, its undefined bytes as themselves.
QChar compressedChar(unsigned char b) {
    static const QString table = [] {
        QString t;
        for (int i = 0; i < 256; ++i)
            t += TextDecoding::decode(QByteArray(1, static_cast<char>(i)),
                                      TextDecoding::Encoding::windows1252)
                     .value_or(QString(QChar(i)));
        return t;
    }();
    return table.at(b);
}

// Word's control characters in the main text: paragraphs and cells become
// line breaks and tabs, field instructions and objects disappear.
QString cleanText(const QString &raw) {
    QString out;
    out.reserve(raw.size());
    std::vector<bool> inInstruction; // one per open field
    char16_t previous = 0;
    for (QChar c : raw) {
        const char16_t u = c.unicode();
        const char16_t before = previous;
        previous = u;
        if (u == 0x13) {
            inInstruction.push_back(true);
            continue;
        }
        if (u == 0x14) {
            if (!inInstruction.empty())
                inInstruction.back() = false;
            continue;
        }
        if (u == 0x15) {
            if (!inInstruction.empty())
                inInstruction.pop_back();
            continue;
        }
        if (!inInstruction.empty() && inInstruction.back())
            continue;
        switch (u) {
        case 0x0D:
        case 0x0B:
        case 0x0C:
            out += QLatin1Char('\n');
            break;
        case 0x07:
            // Each cell ends with this mark; a second one right after ends the row.
            if (before == 0x07 && out.endsWith(QLatin1Char('\t')))
                out.back() = QLatin1Char('\n');
            else
                out += QLatin1Char('\t');
            break;
        case 0x09:
            out += QLatin1Char('\t');
            break;
        case 0x1E:
            out += QLatin1Char('-');
            break;
        case 0xA0:
            out += QLatin1Char(' ');
            break;
        default:
            if (u >= 0x20 || u == 0x0A)
                out += c; // the rest below 0x20 are objects, notes and marks
        }
    }
    return out;
}

// The size of the operand of the property (sprm) at `at` in a property page:
// fixed by the sprm's size code, or given in its first byte.
int operandSize(const QByteArray &fkp, int at) {
    switch (u16(fkp, at) >> 13) {
    case 0:
    case 1:
        return 1;
    case 2:
    case 4:
    case 5:
        return 2;
    case 3:
        return 4;
    case 7:
        return 3;
    default:
        return 1 + static_cast<unsigned char>(fkp.at(std::min(at + 2, 510)));
    }
}

// Walks the formatted-disk pages a bin table in the table stream points to
// (at `fibOffset` in the FIB), calling `run(fkp, first, end, offset)` for each
// run whose properties stand at `offset` in its page. Character pages have a
// one-byte entry a run, paragraph pages a 13-byte one.
void forEachPropertyRun(const QByteArray &document, const QByteArray &table, int fibOffset,
                        int entryBytes,
                        const std::function<void(const QByteArray &, quint32, quint32, int)> &run) {
    const quint32 fc = u32(document, fibOffset);
    const quint32 lcb = u32(document, fibOffset + 4);
    if (lcb < 8 || fc >= static_cast<quint32>(table.size()) ||
        lcb > static_cast<quint32>(table.size()) - fc || (lcb - 4) % 8 != 0)
        return;
    const QByteArray plc = table.mid(fc, lcb);
    const qsizetype entries = (plc.size() - 4) / 8;
    for (qsizetype e = 0; e < entries; ++e) {
        const quint32 page = u32(plc, 4 * (entries + 1) + 4 * e) & 0x3FFFFF;
        const qsizetype base = static_cast<qsizetype>(page) * 512;
        if (base + 512 > document.size())
            continue;
        const QByteArray fkp = document.mid(base, 512);
        const int runs = static_cast<unsigned char>(fkp.at(511));
        if (runs == 0 || 4 * (runs + 1) + entryBytes * runs > 511)
            continue;
        for (int r = 0; r < runs; ++r) {
            const int offset =
                2 * static_cast<unsigned char>(fkp.at(4 * (runs + 1) + entryBytes * r));
            if (offset == 0 || offset >= 510)
                continue; // no properties for this run
            run(fkp, u32(fkp, 4 * r), u32(fkp, 4 * (r + 1)), offset);
        }
    }
}

// Stream offsets of text marked as a deleted revision, from the character
// property pages (sprmCFRMarkDel set).
std::vector<std::pair<quint32, quint32>> deletedRanges(const QByteArray &document,
                                                       const QByteArray &table) {
    std::vector<std::pair<quint32, quint32>> ranges;
    forEachPropertyRun(document, table, 250, 1,
                       [&](const QByteArray &fkp, quint32 first, quint32 end, int offset) {
                           const int size = static_cast<unsigned char>(fkp.at(offset));
                           bool deleted = false;
                           for (int at = offset + 1;
                                at + 2 <= offset + 1 + size && at + 2 <= 511;) {
                               if (u16(fkp, at) == 0x0800 && fkp.at(at + 2) != 0)
                                   deleted = true;
                               at += 2 + operandSize(fkp, at);
                           }
                           if (deleted)
                               ranges.emplace_back(first, end);
                       });
    return ranges;
}

// The list a paragraph belongs to: the list format override (1-based; 0 for
// none) and the level, from sprmPIlfo and sprmPIlvl.
struct ListProps {
    int lfo = 0;
    int level = 0;
};

// Stream offsets of paragraphs that are list items, from the paragraph
// property pages.
std::vector<std::tuple<quint32, quint32, ListProps>> listRanges(const QByteArray &document,
                                                                const QByteArray &table) {
    std::vector<std::tuple<quint32, quint32, ListProps>> ranges;
    forEachPropertyRun(document, table, 258, 13,
                       [&](const QByteArray &fkp, quint32 first, quint32 last, int offset) {
                           const int cb = static_cast<unsigned char>(fkp.at(offset));
                           int at = offset + 1;
                           int size = 2 * cb - 1;
                           if (cb == 0) {
                               size = 2 * static_cast<unsigned char>(fkp.at(offset + 1));
                               at = offset + 2;
                           }
                           const int end = std::min(at + size, 511);
                           at += 2; // the style
                           ListProps props;
                           while (at + 2 <= end) {
                               const quint16 sprm = u16(fkp, at);
                               if (sprm == 0x260A && at + 2 < end)
                                   props.level = std::clamp(static_cast<int>(fkp.at(at + 2)), 0, 8);
                               else if (sprm == 0x460B && at + 4 <= end)
                                   props.lfo = static_cast<qint16>(u16(fkp, at + 2));
                               at += 2 + operandSize(fkp, at);
                           }
                           if (props.lfo > 0)
                               ranges.emplace_back(first, last, props);
                       });
    return ranges;
}

// Word 97's list definitions (PlfLst) and which list each list format
// override stands for (PlfLfo), and the counts as the document goes.
class Word97Lists {
public:
    Word97Lists(const QByteArray &document, const QByteArray &table) {
        const auto part = [&](int fcAt) -> QByteArray {
            const quint32 fc = u32(document, fcAt);
            const quint32 lcb = u32(document, fcAt + 4);
            if (fc >= static_cast<quint32>(table.size()) ||
                lcb > static_cast<quint32>(table.size()) - fc)
                return {};
            return table.mid(fc, lcb);
        };
        // The levels of the lists follow the list table itself, outside the
        // size the FIB gives it: read on to the end of the table stream.
        const quint32 fcLst = u32(document, 738);
        const QByteArray lst = fcLst < static_cast<quint32>(table.size()) && u32(document, 742) > 0
                                   ? table.mid(fcLst)
                                   : QByteArray();
        const QByteArray lfo = part(746);
        if (lst.size() < 2 || lfo.size() < 4)
            return;
        const int lists = u16(lst, 0);
        qsizetype at = 2 + 28 * static_cast<qsizetype>(lists); // the LVLs follow the LSTFs
        for (int l = 0; l < lists && at <= lst.size(); ++l) {
            const qsizetype lstf = 2 + 28 * l;
            if (lstf + 28 > lst.size())
                return;
            const quint32 id = u32(lst, lstf);
            const bool simple = lst.at(lstf + 26) & 0x01;
            std::array<Level, 9> levels;
            for (int v = 0; v < (simple ? 1 : 9); ++v) {
                if (at + 28 > lst.size())
                    return;
                Level &level = levels[static_cast<size_t>(v)];
                level.start = static_cast<qint32>(u32(lst, at));
                level.format = ListLabels::fromWordCode(static_cast<unsigned char>(lst.at(at + 4)));
                const int papx = static_cast<unsigned char>(lst.at(at + 25));
                const int chpx = static_cast<unsigned char>(lst.at(at + 24));
                at += 28 + papx + chpx;
                if (at + 2 > lst.size())
                    return;
                const int cch = u16(lst, at);
                if (at + 2 + 2 * cch > lst.size())
                    return;
                level.text = littleEndianText(lst.mid(at + 2, 2 * cch));
                at += 2 + 2 * cch;
            }
            m_lists.insert(id, levels);
        }
        const quint32 count = std::min<quint32>(u32(lfo, 0), static_cast<quint32>(lfo.size() / 16));
        for (quint32 i = 0; i < count && 4 + 16 * static_cast<qsizetype>(i) + 4 <= lfo.size(); ++i)
            m_listOf.push_back(u32(lfo, 4 + 16 * static_cast<qsizetype>(i)));
    }

    QString label(const ListProps &props) {
        if (props.lfo < 1 || props.lfo > static_cast<int>(m_listOf.size()))
            return QString();
        const auto list = m_lists.constFind(m_listOf[static_cast<size_t>(props.lfo - 1)]);
        if (list == m_lists.cend())
            return QString();
        const auto &levels = *list;
        const Level &level = levels[static_cast<size_t>(props.level)];
        if (level.format == ListLabels::Format::bullet)
            return ListLabels::bullet;
        if (level.format == ListLabels::Format::none)
            return QString();
        ListLabels::Counter &counter = m_counters[props.lfo];
        counter.next(props.level, level.start);
        // The number text holds the levels' numbers as the characters 0 to 8.
        QString text;
        for (const QChar c : level.text) {
            const int k = c.unicode();
            if (k < 9)
                text += ListLabels::number(std::max(1, counter.current(k)),
                                           levels[static_cast<size_t>(k)].format);
            else
                text += c;
        }
        text = text.trimmed();
        return text.isEmpty() ? QString() : text + QLatin1Char(' ');
    }

private:
    struct Level {
        int start = 1;
        ListLabels::Format format = ListLabels::Format::decimal;
        QString text;
    };
    QHash<quint32, std::array<Level, 9>> m_lists;
    std::vector<quint32> m_listOf;
    QHash<int, ListLabels::Counter> m_counters;
};

bool isDeleted(const std::vector<std::pair<quint32, quint32>> &ranges, quint32 fc) {
    for (const auto &[begin, end] : ranges)
        if (fc >= begin && fc < end)
            return true;
    return false;
}

} // namespace

std::optional<QString> word97(const QByteArray &bytes) {
    CompoundFile file(bytes);
    if (!file.open())
        return std::nullopt;
    const auto document = file.stream(QStringLiteral("WordDocument"));
    if (!document || u16(*document, 0) != 0xA5EC || document->size() < 426)
        return std::nullopt;
    const quint16 flags = u16(*document, 0x0A);
    if (flags & 0x0100) // encrypted
        return std::nullopt;
    const auto table =
        file.stream((flags & 0x0200) ? QStringLiteral("1Table") : QStringLiteral("0Table"));
    if (!table)
        return std::nullopt;
    const quint32 textLength = u32(*document, 76); // ccpText: the main text only
    const quint32 fcClx = u32(*document, 418);
    const quint32 lcbClx = u32(*document, 422);
    if (fcClx >= static_cast<quint32>(table->size()) ||
        lcbClx > static_cast<quint32>(table->size()) - fcClx)
        return std::nullopt;
    const QByteArray clx = table->mid(fcClx, lcbClx);
    const auto deleted = deletedRanges(*document, *table);
    const auto listed = listRanges(*document, *table);
    Word97Lists lists(*document, *table);
    bool paragraphStart = true;

    // Skip the property runs to reach the piece table.
    qsizetype at = 0;
    while (at < clx.size() && clx.at(at) == 0x01)
        at += 3 + u16(clx, at + 1);
    if (at >= clx.size() || clx.at(at) != 0x02)
        return std::nullopt;
    const quint32 lcb = u32(clx, at + 1);
    const QByteArray plc = clx.mid(at + 5, lcb);
    if (plc.size() < 4 || (plc.size() - 4) % 12 != 0)
        return std::nullopt;
    const qsizetype pieces = (plc.size() - 4) / 12;

    QString raw;
    for (qsizetype i = 0; i < pieces && static_cast<quint32>(raw.size()) < textLength; ++i) {
        const quint32 cpStart = u32(plc, 4 * i);
        const quint32 cpEnd = u32(plc, 4 * (i + 1));
        if (cpEnd <= cpStart || cpEnd - cpStart > static_cast<quint32>(maxSize))
            return std::nullopt;
        const quint32 count =
            std::min(cpEnd - cpStart, textLength - static_cast<quint32>(raw.size()));
        const qsizetype pcd = 4 * (pieces + 1) + 8 * i;
        const quint32 fc = u32(plc, pcd + 2);
        const bool compressed = fc & 0x40000000;
        const qsizetype offset = compressed ? (fc & 0x3FFFFFFF) / 2 : (fc & 0x3FFFFFFF);
        const qsizetype bytesNeeded = compressed ? count : 2 * static_cast<qsizetype>(count);
        if (offset + bytesNeeded > document->size())
            return std::nullopt;
        const QString piece =
            compressed ? QString() : littleEndianText(document->mid(offset, bytesNeeded));
        for (quint32 k = 0; k < count; ++k) {
            const quint32 position = static_cast<quint32>(offset) + (compressed ? k : 2 * k);
            if (!deleted.empty() && isDeleted(deleted, position))
                continue;
            const QChar c =
                compressed ? compressedChar(static_cast<unsigned char>(document->at(offset + k)))
                           : piece.at(k);
            if (paragraphStart && !listed.empty())
                for (const auto &[begin, end, props] : listed)
                    if (position >= begin && position < end) {
                        raw += lists.label(props);
                        break;
                    }
            // A paragraph or a table cell ends here.
            paragraphStart = c == QLatin1Char('\r') || c == QChar(0x07);
            raw += c;
        }
    }
    return cleanText(raw);
}

} // namespace DocumentReaders

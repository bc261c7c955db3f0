#include "engines/ooxml/compoundfile.h"

#include <QtEndian>

namespace ooxml::detail {

namespace {

constexpr quint32 kFreeSector = 0xFFFFFFFF;
constexpr quint32 kMaxRegularSector = 0xFFFFFFFA;
const char kSignature[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";

quint32 u32(const QByteArray& data, qint64 at)
{
    if (at < 0 || at + 4 > data.size())
        return kFreeSector;
    return qFromLittleEndian<quint32>(data.constData() + at);
}

quint16 u16(const QByteArray& data, qint64 at)
{
    if (at < 0 || at + 2 > data.size())
        return 0;
    return qFromLittleEndian<quint16>(data.constData() + at);
}

} // namespace

bool isCompoundFileSignature(const QByteArray& head)
{
    return head.startsWith(QByteArray(kSignature, 8));
}

// The bytes of the sector chain that starts at start, sectors taken from area
// (the file after its header, or the mini stream).  A chain that loops, runs
// off the area or is longer than maxBytes is cut there.
QByteArray CompoundFile::chain(const QVector<quint32>& table, quint32 start, int sectorSize,
                               const QByteArray& area, int areaOffset, qint64 maxBytes) const
{
    QByteArray out;
    quint32 sector = start;
    qint64 steps = 0;
    while (sector <= kMaxRegularSector && sector < quint32(table.size()) && out.size() < maxBytes) {
        const qint64 at = areaOffset + qint64(sector) * sectorSize;
        if (at + sectorSize > area.size() || ++steps > table.size())
            break;
        out.append(area.constData() + at, sectorSize);
        sector = table.at(int(sector));
    }
    return out;
}

bool CompoundFile::parse(const QByteArray& data)
{
    if (data.size() < 512 || !isCompoundFileSignature(data))
        return false;
    m_data = data;
    const int sectorShift = u16(data, 0x1E);
    const int miniShift = u16(data, 0x20);
    if (sectorShift != 9 && sectorShift != 12)
        return false;
    m_sectorSize = 1 << sectorShift;
    m_miniSectorSize = 1 << qBound(6, miniShift, 12);
    m_miniCutoff = u32(data, 0x38);
    // Sectors are counted from the end of the header, which takes one sector.
    const int base = m_sectorSize;

    // The allocation table's own sectors: 109 listed in the header, the rest
    // in a chain of DIFAT sectors.
    QVector<quint32> fatSectors;
    for (int i = 0; i < 109; ++i) {
        const quint32 s = u32(data, 0x4C + 4 * i);
        if (s <= kMaxRegularSector)
            fatSectors.append(s);
    }
    quint32 difat = u32(data, 0x44);
    const int perDifat = m_sectorSize / 4 - 1;
    for (int guard = 0; difat <= kMaxRegularSector && guard < 100000; ++guard) {
        const qint64 at = base + qint64(difat) * m_sectorSize;
        if (at + m_sectorSize > data.size())
            break;
        for (int i = 0; i < perDifat; ++i) {
            const quint32 s = u32(data, at + 4 * i);
            if (s <= kMaxRegularSector)
                fatSectors.append(s);
        }
        difat = u32(data, at + 4 * perDifat);
    }
    m_fat.clear();
    for (const quint32 s : std::as_const(fatSectors)) {
        const qint64 at = base + qint64(s) * m_sectorSize;
        if (at + m_sectorSize > data.size())
            return false;
        for (int i = 0; i < m_sectorSize / 4; ++i)
            m_fat.append(u32(data, at + 4 * i));
    }
    if (m_fat.isEmpty())
        return false;

    const QByteArray directory =
        chain(m_fat, u32(data, 0x30), m_sectorSize, data, base, qint64(16) << 20);
    m_entries.clear();
    for (int at = 0; at + 128 <= directory.size(); at += 128) {
        Entry e;
        const int nameBytes = qBound(0, int(u16(directory, at + 0x40)), 64);
        e.name = QString::fromUtf16(reinterpret_cast<const char16_t*>(directory.constData() + at),
                                    qMax(0, nameBytes / 2 - 1));
        e.type = quint8(directory.at(at + 0x42));
        e.start = u32(directory, at + 0x74);
        e.size = u32(directory, at + 0x78);
        if (sectorShift == 12)
            e.size |= quint64(u32(directory, at + 0x7C)) << 32;
        m_entries.append(e);
    }
    if (m_entries.isEmpty() || m_entries.first().type != 5)
        return false;

    const QByteArray miniFatBytes =
        chain(m_fat, u32(data, 0x3C), m_sectorSize, data, base, qint64(16) << 20);
    m_miniFat.clear();
    for (int at = 0; at + 4 <= miniFatBytes.size(); at += 4)
        m_miniFat.append(u32(miniFatBytes, at));
    const Entry& root = m_entries.first();
    m_miniStream = chain(m_fat, root.start, m_sectorSize, data, base, qint64(root.size));
    return true;
}

QStringList CompoundFile::streamNames() const
{
    QStringList names;
    for (const Entry& e : m_entries) {
        if (e.type == 2)
            names << e.name;
    }
    return names;
}

bool CompoundFile::hasStream(const QString& name) const
{
    return streamNames().contains(name, Qt::CaseInsensitive);
}

QByteArray CompoundFile::stream(const QString& name, qint64 maxBytes) const
{
    for (const Entry& e : m_entries) {
        if (e.type != 2 || e.name.compare(name, Qt::CaseInsensitive) != 0)
            continue;
        const qint64 wanted = qMin(qint64(e.size), maxBytes);
        QByteArray bytes =
            e.size < m_miniCutoff
                ? chain(m_miniFat, e.start, m_miniSectorSize, m_miniStream, 0, wanted)
                : chain(m_fat, e.start, m_sectorSize, m_data, m_sectorSize, wanted);
        bytes.truncate(int(wanted));
        return bytes;
    }
    return QByteArray();
}

} // namespace ooxml::detail

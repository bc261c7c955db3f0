#include "engines/compoundfile/compoundfile.h"

#include "engines/compoundfile/bytes.h"

#include <QCoreApplication>

#include <cstring>

namespace cfb {

namespace {

constexpr quint32 kFree = 0xFFFFFFFF;
constexpr quint32 kEndOfChain = 0xFFFFFFFE;
constexpr quint32 kFatSector = 0xFFFFFFFD;
constexpr quint32 kDifatSector = 0xFFFFFFFC;
constexpr quint32 kMaxRegular = 0xFFFFFFFA;
constexpr int kHeaderDifat = 109;
constexpr int kEntrySize = 128;
const char kSignature[8] = {'\xD0', '\xCF', '\x11', '\xE0', '\xA1', '\xB1', '\x1A', '\xE1'};

QString tr(const char* text)
{
    return QCoreApplication::translate("biff", text);
}

bool fail(QString* detail, const QString& text)
{
    if (detail)
        *detail = text;
    return false;
}

qint64 unitsFor(quint64 size, int shift)
{
    return qint64((size + (quint64(1) << shift) - 1) >> shift);
}

} // namespace

bool hasCompoundFileSignature(const QByteArray& head)
{
    return head.size() >= 8 && std::memcmp(head.constData(), kSignature, 8) == 0;
}

CompoundFile::Status CompoundFile::parse(const QByteArray& image, QString* detail)
{
    m_image = image;
    m_fat.clear();
    m_miniFat.clear();
    m_entries.clear();
    if (image.size() < 8 || std::memcmp(image.constData(), kSignature, 8) != 0)
        return Status::NotCompoundFile;
    auto damaged = [&](const char* text) {
        fail(detail, tr(text));
        return Status::Damaged;
    };
    if (image.size() < 512)
        return damaged("The compound file is shorter than its header.");
    const quint16 major = u16(image, 0x1A);
    m_sectorShift = u16(image, 0x1E);
    m_miniShift = u16(image, 0x20);
    if (u16(image, 0x1C) != 0xFFFE ||
        !((major == 3 && m_sectorShift == 9) || (major == 4 && m_sectorShift == 12)))
        return damaged("The compound file header has an unknown version or sector size.");
    m_version4 = major == 4;
    m_cutoff = u32(image, 0x38);
    if (m_miniShift != 6 || m_cutoff != 4096)
        return damaged("The compound file header has an unknown mini stream layout.");
    const qint64 sectorSize = qint64(1) << m_sectorShift;
    if (image.size() < sectorSize)
        return damaged("The compound file is shorter than its header.");
    m_sectorCount = (image.size() - sectorSize + sectorSize - 1) / sectorSize;

    // The sectors of the allocation table: 109 in the header, the rest in a
    // chain of DIFAT sectors.
    const quint32 fatCount = u32(image, 0x2C);
    if (fatCount > quint64(m_sectorCount))
        return damaged("The compound file lists more allocation sectors than it holds.");
    QVector<quint32> fatSectors;
    for (int i = 0; i < kHeaderDifat && quint32(fatSectors.size()) < fatCount; ++i)
        fatSectors.append(u32(image, 0x4C + 4 * i));
    quint32 difat = u32(image, 0x44);
    const int perDifat = int(sectorSize / 4) - 1;
    for (qint64 seen = 0; quint32(fatSectors.size()) < fatCount; ++seen) {
        if (difat >= quint64(m_sectorCount) || seen > m_sectorCount ||
            sectorOffset(difat) + sectorSize > image.size())
            return damaged("The compound file's allocation table cannot be found.");
        const qint64 at = sectorOffset(difat);
        for (int k = 0; k < perDifat && quint32(fatSectors.size()) < fatCount; ++k)
            fatSectors.append(u32(image, at + 4 * k));
        difat = u32(image, at + sectorSize - 4);
    }
    m_fat.reserve(int(fatCount * (sectorSize / 4)));
    for (quint32 sector : fatSectors) {
        if (sector >= quint64(m_sectorCount) || sectorOffset(sector) + sectorSize > image.size())
            return damaged("The compound file's allocation table lies outside the file.");
        const qint64 at = sectorOffset(sector);
        for (qint64 k = 0; k < sectorSize / 4; ++k)
            m_fat.append(u32(image, at + 4 * k));
    }

    if (!chain(u32(image, 0x30), m_fat, 1, &m_directoryChain, detail))
        return Status::Damaged;
    for (quint32 sector : std::as_const(m_directoryChain)) {
        const qint64 at = sectorOffset(sector);
        if (at + sectorSize > image.size())
            return damaged("The compound file's directory lies outside the file.");
        for (qint64 off = at; off < at + sectorSize; off += kEntrySize) {
            Entry e;
            const int nameBytes = qMin<int>(u16(image, off + 64), 64);
            const int chars = qMax(0, nameBytes / 2 - 1);
            e.name = QString::fromUtf16(reinterpret_cast<const char16_t*>(image.constData() + off),
                                        chars);
            const quint8 type = quint8(image.at(off + 66));
            e.type = (type == Storage || type == Stream || type == Root) ? EntryType(type) : Unused;
            e.left = u32(image, off + 68);
            e.right = u32(image, off + 72);
            e.child = u32(image, off + 76);
            e.start = u32(image, off + 116);
            e.size = m_version4 ? u64(image, off + 120) : u32(image, off + 120);
            m_entries.append(e);
        }
    }
    if (m_entries.isEmpty() || m_entries.first().type != Root)
        return damaged("The compound file has no root entry.");

    const Entry& root = m_entries.first();
    if (!chain(root.start, m_fat, unitsFor(root.size, m_sectorShift), &m_miniStreamChain, detail))
        return Status::Damaged;
    QVector<quint32> miniFatChain;
    if (u32(image, 0x40) > 0 &&
        !chain(u32(image, 0x3C), m_fat, u32(image, 0x40), &miniFatChain, detail))
        return Status::Damaged;
    for (quint32 sector : std::as_const(miniFatChain)) {
        const qint64 at = sectorOffset(sector);
        if (at + sectorSize > image.size())
            return damaged("The compound file's mini allocation table lies outside the file.");
        for (qint64 k = 0; k < sectorSize / 4; ++k)
            m_miniFat.append(u32(image, at + 4 * k));
    }
    return Status::Ok;
}

bool CompoundFile::chain(quint32 start, const QVector<quint32>& table, qint64 units,
                         QVector<quint32>* out, QString* detail) const
{
    out->clear();
    if (units == 0)
        return true;
    quint32 at = start;
    while (at != kEndOfChain) {
        // A chain longer than the table has a loop in it.
        if (at > kMaxRegular || at >= quint32(table.size()) || out->size() >= table.size())
            return fail(detail, tr("A sector chain of the compound file is broken."));
        out->append(at);
        at = table.at(int(at));
    }
    if (out->size() < units)
        return fail(detail, tr("A stream of the compound file is shorter than its size."));
    return true;
}

qint64 CompoundFile::miniOffset(quint32 miniSector) const
{
    const qint64 inStream = qint64(miniSector) << m_miniShift;
    const qint64 sector = inStream >> m_sectorShift;
    if (sector >= m_miniStreamChain.size())
        return -1;
    return sectorOffset(m_miniStreamChain.at(int(sector))) +
           (inStream & ((qint64(1) << m_sectorShift) - 1));
}

bool CompoundFile::streamChain(int entry, QVector<quint32>* units, bool* mini,
                               QString* detail) const
{
    const Entry& e = m_entries.at(entry);
    *mini = e.size < m_cutoff;
    const int shift = *mini ? m_miniShift : m_sectorShift;
    const qint64 count = unitsFor(e.size, shift);
    if (!chain(e.start, *mini ? m_miniFat : m_fat, count, units, detail))
        return false;
    units->resize(int(count));
    // Every unit the stream uses must lie inside the file; the last one may
    // be cut short after the stream's end.
    for (qint64 k = 0; k < count; ++k) {
        const qint64 at = *mini ? miniOffset(units->at(int(k))) : sectorOffset(units->at(int(k)));
        const qint64 used = qMin<qint64>(qint64(1) << shift, qint64(e.size) - (k << shift));
        if (at < 0 || (!*mini && units->at(int(k)) >= quint64(m_sectorCount)) ||
            at + used > m_image.size())
            return fail(detail, tr("A stream of the compound file runs past the end of the file."));
    }
    return true;
}

int CompoundFile::child(int storage, const QString& name) const
{
    if (storage < 0 || storage >= m_entries.size())
        return -1;
    QVector<quint32> pending{m_entries.at(storage).child};
    QVector<bool> seen(m_entries.size(), false);
    while (!pending.isEmpty()) {
        const quint32 at = pending.takeLast();
        if (at >= quint32(m_entries.size()) || seen.at(int(at)))
            continue;
        seen[int(at)] = true;
        const Entry& e = m_entries.at(int(at));
        if (e.type != Unused && e.name.compare(name, Qt::CaseInsensitive) == 0)
            return int(at);
        pending << e.left << e.right;
    }
    return -1;
}

bool CompoundFile::readStream(int entry, QByteArray* data, QString* detail) const
{
    if (entry < 0 || entry >= m_entries.size() || m_entries.at(entry).type != Stream)
        return fail(detail, tr("No such stream in the compound file."));
    QVector<quint32> units;
    bool mini = false;
    if (!streamChain(entry, &units, &mini, detail))
        return false;
    const qint64 size = qint64(m_entries.at(entry).size);
    const qint64 unit = qint64(1) << (mini ? m_miniShift : m_sectorShift);
    data->resize(size);
    char* out = data->data();
    for (int k = 0; k < units.size(); ++k) {
        const qint64 at = mini ? miniOffset(units.at(k)) : sectorOffset(units.at(k));
        const qint64 n = qMin(unit, size - k * unit);
        std::memcpy(out + k * unit, m_image.constData() + at, size_t(n));
    }
    return true;
}

bool CompoundFile::withStream(int entry, const QByteArray& data, QByteArray* image,
                              QString* detail) const
{
    if (entry < 0 || entry >= m_entries.size() || m_entries.at(entry).type != Stream)
        return fail(detail, tr("No such stream in the compound file."));
    if (quint64(data.size()) != m_entries.at(entry).size)
        return rebuild(entry, data, image, detail);
    // Same size: the stream's own sectors take the new bytes.
    QVector<quint32> units;
    bool mini = false;
    if (!streamChain(entry, &units, &mini, detail))
        return false;
    *image = m_image;
    char* out = image->data();
    const qint64 unit = qint64(1) << (mini ? m_miniShift : m_sectorShift);
    for (int k = 0; k < units.size(); ++k) {
        const qint64 at = mini ? miniOffset(units.at(k)) : sectorOffset(units.at(k));
        const qint64 n = qMin(unit, data.size() - k * unit);
        std::memcpy(out + at, data.constData() + k * unit, size_t(n));
    }
    return true;
}

bool CompoundFile::rebuild(int entry, const QByteArray& data, QByteArray* image,
                           QString* detail) const
{
    const qint64 sectorSize = qint64(1) << m_sectorShift;
    const qint64 perSector = sectorSize / 4;
    const int count = m_entries.size();

    QVector<QByteArray> contents(count);
    for (int i = 0; i < count; ++i) {
        if (m_entries.at(i).type != Stream)
            continue;
        if (i == entry)
            contents[i] = data;
        else if (!readStream(i, &contents[i], detail))
            return false;
    }

    // Layout: the big streams, the mini stream, the directory, the mini
    // allocation table, the allocation table and its DIFAT sectors.
    QVector<quint32> start(count, kEndOfChain);
    QVector<bool> inMini(count, false);
    qint64 next = 0, miniNext = 0;
    for (int i = 0; i < count; ++i) {
        const qint64 size = contents.at(i).size();
        if (m_entries.at(i).type != Stream || size == 0)
            continue;
        if (size < m_cutoff) {
            inMini[i] = true;
            start[i] = quint32(miniNext);
            miniNext += unitsFor(quint64(size), m_miniShift);
        } else {
            start[i] = quint32(next);
            next += unitsFor(quint64(size), m_sectorShift);
        }
    }
    const qint64 miniBytes = miniNext << m_miniShift;
    const qint64 miniStart = next;
    const qint64 miniSectors = unitsFor(quint64(miniBytes), m_sectorShift);
    const qint64 directoryStart = miniStart + miniSectors;
    const qint64 directorySectors = m_directoryChain.size();
    const qint64 miniFatStart = directoryStart + directorySectors;
    const qint64 miniFatSectors = (miniNext + perSector - 1) / perSector;
    const qint64 base = miniFatStart + miniFatSectors;
    qint64 fatSectors = 0, difatSectors = 0;
    for (;;) {
        const qint64 total = base + fatSectors + difatSectors;
        const qint64 needFat = (total + perSector - 1) / perSector;
        const qint64 needDifat =
            needFat > kHeaderDifat ? (needFat - kHeaderDifat + perSector - 2) / (perSector - 1) : 0;
        if (needFat == fatSectors && needDifat == difatSectors)
            break;
        fatSectors = needFat;
        difatSectors = needDifat;
    }
    const qint64 fatStart = base;
    const qint64 difatStart = fatStart + fatSectors;
    const qint64 total = difatStart + difatSectors;
    if (total >= qint64(kMaxRegular))
        return fail(detail, tr("The workbook is too large for a compound file."));

    QVector<quint32> fat(int(fatSectors * perSector), kFree);
    auto link = [](QVector<quint32>& table, qint64 first, qint64 n) {
        for (qint64 s = first; s < first + n; ++s)
            table[int(s)] = s + 1 < first + n ? quint32(s + 1) : kEndOfChain;
    };
    QVector<quint32> miniFat(int(miniFatSectors * perSector), kFree);
    for (int i = 0; i < count; ++i) {
        if (start.at(i) == kEndOfChain)
            continue;
        const qint64 size = contents.at(i).size();
        if (inMini.at(i))
            link(miniFat, start.at(i), unitsFor(quint64(size), m_miniShift));
        else
            link(fat, start.at(i), unitsFor(quint64(size), m_sectorShift));
    }
    link(fat, miniStart, miniSectors);
    link(fat, directoryStart, directorySectors);
    link(fat, miniFatStart, miniFatSectors);
    for (qint64 s = fatStart; s < fatStart + fatSectors; ++s)
        fat[int(s)] = kFatSector;
    for (qint64 s = difatStart; s < difatStart + difatSectors; ++s)
        fat[int(s)] = kDifatSector;

    QByteArray out(int(sectorSize + total * sectorSize), '\0');
    // The header keeps its signature, class id, versions and reserved bytes.
    std::memcpy(out.data(), m_image.constData(), size_t(sectorSize));
    put32(out, 0x28, m_version4 ? quint32(directorySectors) : 0);
    put32(out, 0x2C, quint32(fatSectors));
    put32(out, 0x30, quint32(directoryStart));
    put32(out, 0x3C, miniFatSectors ? quint32(miniFatStart) : kEndOfChain);
    put32(out, 0x40, quint32(miniFatSectors));
    put32(out, 0x44, difatSectors ? quint32(difatStart) : kEndOfChain);
    put32(out, 0x48, quint32(difatSectors));
    for (int i = 0; i < kHeaderDifat; ++i)
        put32(out, 0x4C + 4 * i, i < fatSectors ? quint32(fatStart + i) : kFree);
    for (qint64 d = 0; d < difatSectors; ++d) {
        const qint64 at = sectorOffset(quint32(difatStart + d));
        for (qint64 k = 0; k < perSector - 1; ++k) {
            const qint64 fatIndex = kHeaderDifat + d * (perSector - 1) + k;
            put32(out, at + 4 * k, fatIndex < fatSectors ? quint32(fatStart + fatIndex) : kFree);
        }
        put32(out, at + sectorSize - 4,
              d + 1 < difatSectors ? quint32(difatStart + d + 1) : kEndOfChain);
    }
    for (int k = 0; k < fat.size(); ++k)
        put32(out, sectorOffset(quint32(fatStart)) + 4 * k, fat.at(k));
    for (int k = 0; k < miniFat.size(); ++k)
        put32(out, sectorOffset(quint32(miniFatStart)) + 4 * k, miniFat.at(k));

    // The directory: every entry as it was, with where its stream now lies.
    for (int k = 0; k < m_directoryChain.size(); ++k)
        std::memcpy(out.data() + sectorOffset(quint32(directoryStart + k)),
                    m_image.constData() + sectorOffset(m_directoryChain.at(k)), size_t(sectorSize));
    for (int i = 0; i < count; ++i) {
        const qint64 at = sectorOffset(quint32(directoryStart)) + qint64(i) * kEntrySize;
        quint32 first;
        quint64 size;
        if (m_entries.at(i).type == Root) {
            first = miniSectors ? quint32(miniStart) : kEndOfChain;
            size = quint64(miniBytes);
        } else if (m_entries.at(i).type == Stream) {
            first = start.at(i);
            size = quint64(contents.at(i).size());
        } else {
            continue;
        }
        put32(out, at + 116, first);
        put32(out, at + 120, quint32(size));
        put32(out, at + 124, m_version4 ? quint32(size >> 32) : 0);
    }

    for (int i = 0; i < count; ++i) {
        if (start.at(i) == kEndOfChain)
            continue;
        const qint64 at =
            inMini.at(i) ? sectorOffset(quint32(miniStart)) + (qint64(start.at(i)) << m_miniShift)
                         : sectorOffset(start.at(i));
        std::memcpy(out.data() + at, contents.at(i).constData(), size_t(contents.at(i).size()));
    }
    *image = out;
    return true;
}

} // namespace cfb

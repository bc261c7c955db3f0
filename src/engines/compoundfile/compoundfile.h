// A compound file (MS-CFB, "OLE2 structured storage", the container of .xls
// workbooks) held in memory: its directory, the bytes of any stream, and a
// copy of the file with one stream's bytes replaced.
//
// The replacement keeps everything else: when the stream keeps its size its
// bytes are overwritten where they lie and every other byte of the file stays;
// otherwise the compound file is laid out anew with the same directory entries
// (names, class ids, state bits, times, tree links, in the same order) and the
// same bytes in every other stream.  Used by the engines that read or write
// Excel's binary files and encrypted packages.
#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

namespace cfb {

// Whether bytes start with the signature of every compound file.
bool hasCompoundFileSignature(const QByteArray& head);

class CompoundFile
{
public:
    enum class Status {
        Ok,
        NotCompoundFile, // the bytes do not start with the compound-file signature
        Damaged,         // a compound file whose structure cannot be followed
    };

    enum EntryType : quint8 { Unused = 0, Storage = 1, Stream = 2, Root = 5 };

    struct Entry
    {
        QString name;
        EntryType type = Unused;
        quint32 left = 0, right = 0, child = 0; // directory indices, kNoEntry for none
        quint32 start = 0;                      // first sector (or mini sector)
        quint64 size = 0;
    };

    static constexpr quint32 kNoEntry = 0xFFFFFFFF;

    // Reads the header, the allocation tables and the directory of image (the
    // whole file).  *detail (when given) says what is wrong when not Ok.
    Status parse(const QByteArray& image, QString* detail = nullptr);

    const QVector<Entry>& entries() const { return m_entries; }
    // The entry called name among the children of storage (0: the root), the
    // names compared without regard to case as the format says; -1 when none.
    int child(int storage, const QString& name) const;

    // The bytes of a stream entry; false when its sector chain is broken or
    // runs past the end of the file.
    bool readStream(int entry, QByteArray* data, QString* detail = nullptr) const;

    // The whole file with the stream entry holding data instead.  False when
    // another stream that has to be moved cannot be read.
    bool withStream(int entry, const QByteArray& data, QByteArray* image,
                    QString* detail = nullptr) const;

private:
    bool chain(quint32 start, const QVector<quint32>& table, qint64 units, QVector<quint32>* out,
               QString* detail) const;
    bool streamChain(int entry, QVector<quint32>* units, bool* mini, QString* detail) const;
    qint64 sectorOffset(quint32 sector) const { return qint64(sector + 1) << m_sectorShift; }
    qint64 miniOffset(quint32 miniSector) const;
    bool rebuild(int entry, const QByteArray& data, QByteArray* image, QString* detail) const;

    QByteArray m_image;
    int m_sectorShift = 9;
    int m_miniShift = 6;
    quint32 m_cutoff = 4096;
    bool m_version4 = false;
    qint64 m_sectorCount = 0; // sectors the file holds, a partial last one included
    QVector<quint32> m_fat;
    QVector<quint32> m_miniFat;
    QVector<quint32> m_directoryChain;
    QVector<quint32> m_miniStreamChain; // sectors of the root entry's stream
    QVector<Entry> m_entries;
};

} // namespace cfb

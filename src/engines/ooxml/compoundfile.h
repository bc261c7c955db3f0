// Reading streams out of an OLE compound file, the container of .xls
// workbooks and of password-encrypted .xlsx/.xlsm packages.  Only what is
// needed to tell what such a file is: the names of its streams and the bytes
// of one of them.  Internal to the ooxml code.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

namespace ooxml::detail {

// The first eight bytes of every compound file.
bool isCompoundFileSignature(const QByteArray& head);

class CompoundFile
{
public:
    // Parses the header, the allocation tables and the directory of the file
    // held in data; false when it is not a readable compound file.
    bool parse(const QByteArray& data);

    // Names of every stream, in directory order (storages left out).
    QStringList streamNames() const;
    bool hasStream(const QString& name) const;
    // The bytes of the first stream of that name (case-insensitive, as the
    // format compares names); at most maxBytes of them.  Empty when there is
    // no such stream or its sectors cannot be followed.
    QByteArray stream(const QString& name, qint64 maxBytes = qint64(64) << 20) const;

private:
    struct Entry
    {
        QString name;
        int type = 0; // 1 storage, 2 stream, 5 root
        quint32 start = 0;
        quint64 size = 0;
    };
    QByteArray chain(const QVector<quint32>& table, quint32 start, int sectorSize,
                     const QByteArray& area, int areaOffset, qint64 maxBytes) const;
    QByteArray m_data;
    int m_sectorSize = 512;
    int m_miniSectorSize = 64;
    quint32 m_miniCutoff = 4096;
    QVector<quint32> m_fat;
    QVector<quint32> m_miniFat;
    QByteArray m_miniStream;
    QVector<Entry> m_entries;
};

} // namespace ooxml::detail

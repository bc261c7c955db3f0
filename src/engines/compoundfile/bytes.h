// Little-endian numbers in byte arrays, as compound files and BIFF records
// store them.  The caller checks the bounds.
#pragma once

#include <QByteArray>
#include <QtEndian>

#include <cstring>

namespace cfb {

inline quint16 u16(const QByteArray& b, qint64 at)
{
    return qFromLittleEndian<quint16>(b.constData() + at);
}

inline quint32 u32(const QByteArray& b, qint64 at)
{
    return qFromLittleEndian<quint32>(b.constData() + at);
}

inline quint64 u64(const QByteArray& b, qint64 at)
{
    return qFromLittleEndian<quint64>(b.constData() + at);
}

inline double f64(const QByteArray& b, qint64 at)
{
    const quint64 bits = u64(b, at);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

inline void put16(QByteArray& b, qint64 at, quint16 value)
{
    qToLittleEndian(value, b.data() + at);
}

inline void put32(QByteArray& b, qint64 at, quint32 value)
{
    qToLittleEndian(value, b.data() + at);
}

inline void putF64(QByteArray& b, qint64 at, double value)
{
    quint64 bits;
    std::memcpy(&bits, &value, sizeof bits);
    qToLittleEndian(bits, b.data() + at);
}

} // namespace cfb

#pragma once

#include <QByteArray>

namespace iap::test {

// The device's frames as they go over the line: every number big-endian.
inline QByteArray bigEndian(quint32 value)
{
    const char bytes[] = {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
    return QByteArray(bytes, sizeof bytes);
}

inline QByteArray checksumReply(const char* keyword, quint32 sum)
{
    return QByteArray(keyword) + bigEndian(sum);
}

// A 19-byte command: the 11-byte keyword, the address, the count.
inline QByteArray commandFrame(const char* keyword, quint32 address, quint32 count)
{
    return QByteArray(keyword, 11) + bigEndian(address) + bigEndian(count);
}

inline QByteArray eraseCommand(quint32 address, quint32 count)
{
    return commandFrame("Erase      ", address, count);
}

inline QByteArray writeCommand(quint32 address, quint32 count)
{
    return commandFrame("Flash Write", address, count);
}

inline QByteArray readCommand(quint32 address, quint32 count)
{
    return commandFrame("Flash Read ", address, count);
}

}  // namespace iap::test

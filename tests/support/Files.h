#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace iap::test {

constexpr int PageBytes = 2048;

// Bytes with no short period, so that a page lost, repeated or out of order shows.
QByteArray pattern(int length, int seed = 0);
bool writeFile(const QString& path, const QByteArray& contents);
// Empty when the file cannot be read.
QByteArray readFile(const QString& path);

// Page p of a file as the tool sends it: bytes beyond the end of the file are erased flash (FF).
QByteArray pageOf(const QByteArray& file, int p);
// Every page of a whole-file transfer: pages 0 to length / 2048.
QList<QByteArray> pagesOf(const QByteArray& file);
quint32 byteSum(const QByteArray& bytes);

// The frames on the wire, every number big-endian.
QByteArray bigEndian(quint32 value);
inline QByteArray checksumReply(const char* keyword, quint32 sum) { return QByteArray(keyword) + bigEndian(sum); }
inline QByteArray command(const char* keyword, quint32 address, quint32 count)
{
    return QByteArray(keyword, 11) + bigEndian(address) + bigEndian(count);
}
inline QByteArray eraseCommand(quint32 address, quint32 count) { return command("Erase      ", address, count); }
inline QByteArray writeCommand(quint32 address, quint32 count) { return command("Flash Write", address, count); }
inline QByteArray readCommand(quint32 address, quint32 count) { return command("Flash Read ", address, count); }

}  // namespace iap::test

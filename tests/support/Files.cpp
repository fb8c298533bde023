#include "Files.h"

#include <QFile>

namespace iap::test {

QByteArray pattern(int length, int seed)
{
    QByteArray bytes(length, Qt::Uninitialized);
    quint32 state = 0x9E3779B9u ^ quint32(seed);
    for (int i = 0; i < length; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        bytes[i] = char(state >> 24);
    }
    return bytes;
}

bool writeFile(const QString& path, const QByteArray& contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(contents) == contents.size();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray pageOf(const QByteArray& file, int p)
{
    const QByteArray page = file.mid(qsizetype(p) * PageBytes, PageBytes);
    return page + QByteArray(PageBytes - page.size(), '\xFF');
}

QList<QByteArray> pagesOf(const QByteArray& file)
{
    QList<QByteArray> pages;
    for (int p = 0; p <= file.size() / PageBytes; ++p)
        pages << pageOf(file, p);
    return pages;
}

quint32 byteSum(const QByteArray& bytes)
{
    quint32 sum = 0;
    for (const char byte : bytes)
        sum += quint8(byte);
    return sum;
}

QByteArray bigEndian(quint32 value)
{
    const char bytes[] = {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
    return QByteArray(bytes, sizeof bytes);
}

}  // namespace iap::test

#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTemporaryDir>

namespace iap::test {

constexpr int PageBytes = 2048;

// Bytes with no short period, so that a page lost, repeated or out of order shows.
QByteArray pattern(int length, int seed = 0);

// Writes the whole file; false when it cannot.
bool writeFile(const QString& path, const QByteArray& contents);
// The same in a folder: the file's path, or empty when it cannot be written.
QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& contents);
// The file's bytes; empty when it cannot be read.
QByteArray readFile(const QString& path);

// Page p of a file as the tool sends it: bytes beyond the end of the file are erased flash.
QByteArray pageOf(const QByteArray& file, int p);
// Every page of a file as the tool sends it: LastPageIndex + 1 whole pages.
QList<QByteArray> pagesOf(const QByteArray& file);
QByteArray asPages(const QByteArray& file);

quint32 byteSum(const QByteArray& bytes);

}  // namespace iap::test

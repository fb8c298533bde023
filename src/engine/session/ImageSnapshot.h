#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>

#include "protocol/Page.h"

namespace iap {

// An image file as it was when an operation took it. Every page sent and every sum comes from
// these bytes, so a file replaced or edited while a transfer runs changes nothing of it.
class ImageSnapshot {
public:
    enum class Failure { None, Unreadable, BeyondAddressSpace };

    ImageSnapshot() = default;
    // Reads the whole file once; a file larger than a device can address is not read at all.
    static ImageSnapshot take(const QString& path);

    bool isValid() const { return failure_ == Failure::None; }
    Failure failure() const { return failure_; }
    const QString& path() const { return path_; }
    std::int64_t size() const { return bytes_.size(); }
    // The file's length divided by the page size, rounded down: a whole-file transfer sends pages
    // 0 to this one, so a length that is a multiple of a page gets one erased page more.
    std::int32_t lastPageIndex() const { return std::int32_t(bytes_.size() / PageBytes); }
    // Page p; its bytes beyond the end of the file are 0xFF, as in erased flash.
    std::array<std::uint8_t, PageBytes> page(std::int64_t p) const;
    QString unreadableText() const { return QStringLiteral("The image file can't be read: ") + path_; }
    // What identifies the bytes that went out, for a record of the run.
    QString sha256Hex() const { return QString::fromLatin1(sha256_.toHex()); }

private:
    QString path_;
    QByteArray bytes_;
    QByteArray sha256_;
    Failure failure_ = Failure::Unreadable;
};

}  // namespace iap
